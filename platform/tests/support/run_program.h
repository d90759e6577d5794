// Test support: runs a program as a subprocess with the given standard
// input, in a given folder, and collects its output and exit code. Every
// run is bounded by a time limit so a hanging program fails its test.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

struct ProgramResult {
    std::string out;
    std::string err;
    int exit_code = -1;  // -1 when killed or timed out
    bool timed_out = false;
};

inline ProgramResult run_program(const std::vector<std::string>& argv, const std::string& input = "",
                                 const std::string& workdir = "", int timeout_ms = 60000) {
    ProgramResult r;
    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return r;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in_pipe[0], 0);
        dup2(out_pipe[1], 1);
        dup2(err_pipe[1], 2);
        for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
        if (!workdir.empty() && chdir(workdir.c_str()) != 0) _exit(126);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);
    signal(SIGPIPE, SIG_IGN);
    size_t written = 0;
    if (input.empty()) {
        close(in_pipe[1]);
        in_pipe[1] = -1;
    } else {
        fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool out_open = true, err_open = true;
    while (out_open || err_open) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            r.timed_out = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[3];
        int n = 0;
        int out_i = -1, err_i = -1, in_i = -1;
        if (out_open) { fds[n] = {out_pipe[0], POLLIN, 0}; out_i = n++; }
        if (err_open) { fds[n] = {err_pipe[0], POLLIN, 0}; err_i = n++; }
        if (in_pipe[1] >= 0) { fds[n] = {in_pipe[1], POLLOUT, 0}; in_i = n++; }
        const int ms = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count());
        if (poll(fds, n, ms) < 0) continue;
        char buf[4096];
        if (out_i >= 0 && fds[out_i].revents) {
            const ssize_t k = read(out_pipe[0], buf, sizeof buf);
            if (k <= 0) out_open = false; else r.out.append(buf, static_cast<size_t>(k));
        }
        if (err_i >= 0 && fds[err_i].revents) {
            const ssize_t k = read(err_pipe[0], buf, sizeof buf);
            if (k <= 0) err_open = false; else r.err.append(buf, static_cast<size_t>(k));
        }
        if (in_i >= 0 && fds[in_i].revents) {
            const ssize_t k = write(in_pipe[1], input.data() + written, input.size() - written);
            if (k > 0) written += static_cast<size_t>(k);
            if (k < 0 || written >= input.size()) {
                close(in_pipe[1]);
                in_pipe[1] = -1;
            }
        }
    }
    if (in_pipe[1] >= 0) close(in_pipe[1]);
    close(out_pipe[0]);
    close(err_pipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!r.timed_out && WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
    return r;
}

// A fresh empty folder for one test.
inline std::string make_temp_dir() {
    char templ[] = "/tmp/zarik-test-XXXXXX";
    const char* d = mkdtemp(templ);
    return d ? std::string(d) : std::string("/tmp");
}
