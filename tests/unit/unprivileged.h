#pragma once
// Running part of a test as a user whom file permissions bind. Root reads
// every file whatever its permissions (and CI runs as root), so a test of an
// unreadable file runs that part in a child process that has become nobody;
// anyone else runs it as themselves. A test that cannot do either fails.

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace testing_support {

struct BoundUser {
    bool found = false;
    uid_t uid = 0;
    gid_t gid = 0;
    std::string problem;  // why there is none
};

// Who the child becomes: the caller, or nobody for root. Looked up before
// fork, so that the child need not read the user database.
inline BoundUser boundUser() {
    BoundUser user;
    if (geteuid() != 0) {
        user.found = true;
        user.uid = geteuid();
        user.gid = getegid();
        return user;
    }
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) {
        user.problem = "root reads every file, and there is no user 'nobody' to run the check as";
        return user;
    }
    user.found = true;
    user.uid = nobody->pw_uid;
    user.gid = nobody->pw_gid;
    return user;
}

// In the child: drops root's groups, group and user (what setpriv
// --reuid --regid --clear-groups does). False when the child is still root.
inline bool becomeUser(const BoundUser& user) {
    if (geteuid() != 0) return user.found;
    if (setgroups(0, nullptr) != 0 || setgid(user.gid) != 0 || setuid(user.uid) != 0) return false;
    return geteuid() != 0 && setuid(0) != 0;  // and cannot become root again
}

// The exit status of work() (0 to 125) run in a child process as `user`; 126
// when the child could not become the user, -1 when it did not run or end.
inline int runAsUser(const BoundUser& user, const std::function<int()>& work) {
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) _exit(becomeUser(user) ? work() : 126);
    int raw = 0;
    if (waitpid(pid, &raw, 0) != pid || !WIFEXITED(raw)) return -1;
    return WEXITSTATUS(raw);
}

}  // namespace testing_support
