#pragma once
// Running morvale-convert as a child process: its exit, its output, its peak
// memory, and a pseudo-terminal on stderr so that its progress bar can be
// watched and the run interrupted in a chosen stage.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "unprivileged.h"

namespace testing_support {

struct ChildRun {
    int status = -1;       // exit status, or -1 when killed by a signal or not started
    std::string out;       // stdout and, without a terminal, stderr
    std::string terminal;  // what reached the pseudo-terminal on stderr
    long peakKiB = 0;      // peak resident memory of the child
    double seconds = 0.0;
};

// Called with everything the terminal has shown so far; may signal the child.
using TerminalWatcher = std::function<void(const std::string& shown, pid_t child)>;

// Runs the converter with args. With a watcher, stderr is a pseudo-terminal
// (so the progress bar is drawn) and the watcher sees it grow. With a user,
// the converter runs as that user (a status of 126 and a line in `out` when
// the child could not become it).
inline ChildRun runConverter(const std::vector<std::string>& args, const TerminalWatcher& watcher = {},
                             const BoundUser* user = nullptr) {
    ChildRun run;
    int outPipe[2];
    if (pipe(outPipe) != 0) return run;
    int master = -1, slave = -1;
    if (watcher) {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return run;
        slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        if (slave < 0) return run;
    }
    std::vector<std::string> argv{MORVALE_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argp;
    for (std::string& a : argv) argp.push_back(a.data());
    argp.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(watcher ? slave : outPipe[1], 2);
        close(outPipe[0]);
        close(outPipe[1]);
        if (watcher) {
            close(master);
            close(slave);
        }
        // Opened before the user changes: the build folder may lie where that user cannot reach.
        const int program = open(argp[0], O_RDONLY | O_CLOEXEC);
        if (user != nullptr && !becomeUser(*user)) {
            static const char refused[] = "the child could not become the user whom permissions bind\n";
            (void)!write(1, refused, sizeof refused - 1);
            _exit(126);
        }
        if (program >= 0) fexecve(program, argp.data(), environ);
        _exit(127);
    }
    close(outPipe[1]);
    if (watcher) close(slave);

    // Read both until both are closed; the terminal reports EIO once the child is gone.
    bool outOpen = true, termOpen = watcher != nullptr;
    char buffer[65536];
    while (outOpen || termOpen) {
        pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {master, POLLIN, 0}};
        if (!outOpen) fds[0].fd = -1;
        if (!termOpen) fds[1].fd = -1;
        if (poll(fds, 2, 1000) < 0) break;
        if (outOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = read(outPipe[0], buffer, sizeof buffer);
            if (n > 0)
                run.out.append(buffer, static_cast<std::size_t>(n));
            else
                outOpen = false;
        }
        if (termOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) {
                run.terminal.append(buffer, static_cast<std::size_t>(n));
                watcher(run.terminal, pid);
            } else {
                termOpen = false;
            }
        }
    }
    close(outPipe[0]);
    if (master >= 0) close(master);
    int raw = 0;
    rusage usage{};
    if (wait4(pid, &raw, 0, &usage) == pid) {
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.peakKiB = usage.ru_maxrss;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

// The converter's own resident memory at start (its libraries loaded, GDAL's
// and lib3mf's among them, and a sanitizer's shadow), measured once: the
// memory tests bound what a run adds to it.
inline long converterStartKiB() {
    static const long start = runConverter({"--version"}).peakKiB;
    return start;
}

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// What a finished or interrupted OBJ file holds, read line by line (it may be large).
struct ObjTally {
    bool endsWithQuads = false;
    long long vertexLines = 0;
    long long faceLines = 0;
    long long vertexComment = -1;
    long long quadComment = -1;
};

inline ObjTally tallyObj(const std::filesystem::path& path) {
    ObjTally tally;
    std::ifstream in(path, std::ios::binary);
    std::string line, last;
    while (std::getline(in, line)) {
        if (line.rfind("v ", 0) == 0)
            ++tally.vertexLines;
        else if (line.rfind("f ", 0) == 0)
            ++tally.faceLines;
        else if (line.rfind("# ", 0) == 0 && contains(line, " vertices"))
            tally.vertexComment = std::atoll(line.c_str() + 2);
        last = line;
    }
    const std::string quads = " quads";
    tally.endsWithQuads =
        last.size() > quads.size() && last.compare(last.size() - quads.size(), quads.size(), quads) == 0;
    if (tally.endsWithQuads && last.rfind("# ", 0) == 0) tally.quadComment = std::atoll(last.c_str() + 2);
    return tally;
}

}  // namespace testing_support
