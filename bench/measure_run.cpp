// measure_run: runs a command and prints its wall time in seconds, its peak
// resident memory in KiB, its processor time (user and system, all threads)
// in seconds and its exit status, on one line. The benchmark script uses it
// instead of an external time program.
//
// Usage: measure_run COMMAND [ARGS...]

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("Usage: measure_run COMMAND [ARGS...]\n", stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, argv[1], nullptr, nullptr, argv + 1, environ) != 0) {
        std::fprintf(stderr, "measure_run: cannot start %s\n", argv[1]);
        return 127;
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return 127;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    std::printf("%.4f %ld %.4f %d\n", seconds, usage.ru_maxrss, cpu, exitStatus);
    return 0;
}
