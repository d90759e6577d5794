// Test support: runs a program as a subprocess with the given standard
// input, in a given folder, and collects its output and exit code. Every
// run is bounded by a time limit so a hanging program fails its test.
// Also the folders a test works in and the paths of the built programs.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

struct ProgramResult {
    std::string out;
    std::string err;
    int exit_code = -1;  // -1 when killed or timed out
    bool timed_out = false;
    long peak_rss_kb = -1;  // the most memory the program held resident
};

// A sanitizer build runs its programs many times slower, the more so with
// other tests beside them: its guard against a hang waits as much longer.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kHangGuardScale = 5;
#else
constexpr int kHangGuardScale = 1;
#endif

inline ProgramResult run_program(const std::vector<std::string>& argv, const std::string& input = "",
                                 const std::string& workdir = "", int timeout_ms = 60000) {
    ProgramResult r;
    // Standard input, output and error are scratch files, so that neither
    // side ever waits for the other.
    std::FILE* io[3] = {std::tmpfile(), std::tmpfile(), std::tmpfile()};
    if (io[0] && io[1] && io[2] && std::fwrite(input.data(), 1, input.size(), io[0]) == input.size() &&
        std::fflush(io[0]) == 0) {
        std::rewind(io[0]);
        // Everything the child needs is made before the fork: another thread
        // (a fake front end) may hold the allocator's lock at that instant,
        // and a child that allocates would then wait for it forever.
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        const int fds[3] = {fileno(io[0]), fileno(io[1]), fileno(io[2])};
        const char* dir = workdir.empty() ? nullptr : workdir.c_str();
        const pid_t pid = fork();
        if (pid == 0) {
            for (int k = 0; k < 3; ++k) dup2(fds[k], k);
            if (dir != nullptr && chdir(dir) != 0) _exit(126);
            execv(args[0], args.data());
            _exit(127);
        }
        int status = 0;
        struct rusage usage {};
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(int64_t{timeout_ms} * kHangGuardScale);
        while (pid > 0 && wait4(pid, &status, WNOHANG, &usage) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                r.timed_out = true;
                kill(pid, SIGKILL);
                wait4(pid, &status, 0, &usage);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (pid > 0) r.peak_rss_kb = usage.ru_maxrss;
        if (pid > 0 && !r.timed_out && WIFEXITED(status)) r.exit_code = WEXITSTATUS(status);
        for (int k = 1; k < 3; ++k) {
            std::string& text = k == 1 ? r.out : r.err;
            std::rewind(io[k]);
            char buf[4096];
            for (size_t n; (n = std::fread(buf, 1, sizeof buf, io[k])) > 0;) text.append(buf, n);
        }
    }
    for (std::FILE* f : io)
        if (f) std::fclose(f);
    return r;
}

// A shell command prefix that caps the memory of the program the command
// then starts: its address space or, under the sanitizers, whose shadow
// memory takes a vast address space, its resident size.
inline std::string memory_cap(long mib) {
#if defined(__SANITIZE_ADDRESS__)
    return "export ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}hard_rss_limit_mb=" + std::to_string(mib) + "\" && ";
#else
    return "ulimit -v " + std::to_string(mib * 1024) + " && ";
#endif
}

// A fresh empty folder of one test's own, removed with everything in it
// at the end ("/tmp" when none could be made, and then never removed).
struct TempDir {
    TempDir() {
        char templ[] = "/tmp/zarik-test-XXXXXX";
        const char* d = mkdtemp(templ);
        path = d ? std::string(d) : std::string("/tmp");
    }
    ~TempDir() {
        std::error_code ec;
        if (path.rfind("/tmp/zarik-test-", 0) == 0) std::filesystem::remove_all(path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    bool ok() const { return path != "/tmp"; }
    std::string file(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

// Makes dir the working directory until the end of the scope.
struct ScopedChdir {
    explicit ScopedChdir(const std::string& dir) : home(std::filesystem::current_path().string()) {
        ok = chdir(dir.c_str()) == 0;
    }
    ~ScopedChdir() {
        if (chdir(home.c_str()) != 0) ADD_FAILURE() << "cannot return to " << home;
    }
    ScopedChdir(const ScopedChdir&) = delete;
    ScopedChdir& operator=(const ScopedChdir&) = delete;
    std::string home;
    bool ok = false;
};

// The programs of this build, and the line each prints as it ends.
inline std::string zarik_program() { return std::string(ZARIK_BINARY_DIR) + "/zarik"; }
inline std::string bare_program() { return std::string(ZARIK_BINARY_DIR) + "/zarik-bare"; }
inline std::string status_line(const std::string& program, int status) {
    return program + " exiting.  Status code = " + std::to_string(status) + "\n";
}
