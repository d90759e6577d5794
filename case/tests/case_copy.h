// The case's own files copied into a folder of their own: shared by the case
// tests and the case benchmark. tools/copy_case.sh, which the benchmarks'
// scripts run too, says which files they are, so that what a user's runs
// leave in case/data (output files, snapshots, output folders) stays there.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

// True when the script copied the files of `from` into `to`.
inline bool copy_case(const std::string& from, const std::string& to) {
    const std::string script = std::string(ZARIK_SOURCE_DIR) + "/tools/copy_case.sh";
    char* argv[] = {const_cast<char*>("/bin/sh"), const_cast<char*>(script.c_str()), const_cast<char*>(from.c_str()),
                    const_cast<char*>(to.c_str()), nullptr};
    pid_t pid = 0;
    int status = 0;
    return posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) == 0 && waitpid(pid, &status, 0) == pid &&
           WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
