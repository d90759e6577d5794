// Test support: engine code run in a child process, its standard output
// read back through a pipe; every wait bounded, a child that overstays
// killed by its pid.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

#include "engine/engine_stop.h"
#include "platform/text_units.h"

struct Child {
    pid_t pid = -1;
    int out = -1;
};

// Runs f in a child process with its standard output into a pipe; the child's
// exit code is f's result (80 when the run stopped).
inline Child spawn(const std::function<int()>& f) {
    std::fflush(nullptr);
    int p[2];
    if (pipe(p) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(p[0]);
        dup2(p[1], 1);
        close(p[1]);
        int code = 90;
        try {
            code = f();
        } catch (const EngineStop&) {
            code = 80;
        }
        console_flush();
        std::fflush(nullptr);
        _exit(code);
    }
    close(p[1]);
    return {pid, p[0]};
}

// The child's output and exit code; a child that does not end in time is killed and gives -1.
inline std::pair<std::string, int> finish(const Child& c, int timeout_ms = 30000) {
    std::string text;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool ended = false;
    while (!ended) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        pollfd pfd{c.out, POLLIN, 0};
        char buf[4096];
        const ssize_t n = poll(&pfd, 1, static_cast<int>(left)) > 0 ? read(c.out, buf, sizeof buf) : -1;
        if (n > 0) text.append(buf, static_cast<size_t>(n));
        ended = n == 0;  // the child's output closes when it exits
    }
    close(c.out);
    if (!ended) kill(c.pid, SIGKILL);
    int status = 0;
    waitpid(c.pid, &status, 0);
    return {text, ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}
