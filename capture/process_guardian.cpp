// The guardian process: launching the browser beneath it, reaping and killing what the browser leaves, and
// the async-signal-safe helpers the forked processes use.
#include "process_guardian.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstring>

extern char** environ;

namespace {

// Only async-signal-safe calls from here to exec: the forked copies of a threaded program may use nothing
// else.
void CloseFrom(int lowest) {
    if (close_range(static_cast<unsigned>(lowest), ~0U, 0) == 0) return;
    for (int fd = lowest; fd < 4096; ++fd) close(fd);
}

void ResetSignals() {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD, SIGUSR1, SIGUSR2, SIGXFSZ})
        sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

volatile sig_atomic_t g_guardedBrowser = 0;
volatile sig_atomic_t g_sweepChildren = 0;

void KillGuardedBrowser(int) {
    if (g_guardedBrowser > 0) kill(-g_guardedBrowser, SIGKILL);
    g_sweepChildren = 1;
}

void SweepChildrenSoon(int) {
    g_sweepChildren = 1;
}

// Kills every remaining child of this process: helpers the browser started in process groups of their own
// (its crash reporter) and that were adopted here. Reads /proc with plain system calls only.
void KillRemainingChildren() {
    const pid_t self = getpid();
    const int dir = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    alignas(8) char entries[4096];
    for (;;) {
        const long n = syscall(SYS_getdents64, dir, entries, sizeof entries);
        if (n <= 0) break;
        for (long at = 0; at < n;) {
            // struct linux_dirent64: inode (8 bytes), offset (8), record length (2), type (1), name
            unsigned short length = 0;
            std::memcpy(&length, entries + at + 16, sizeof length);
            const char* name = entries + at + 19;
            at += length;
            if (name[0] < '1' || name[0] > '9') continue;
            char path[64] = "/proc/";
            size_t p = 6;
            for (const char* c = name; *c && p < 40; ++c) path[p++] = *c;
            for (const char* c = "/stat"; *c; ++c) path[p++] = *c;
            path[p] = '\0';
            const int fd = open(path, O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            char stat[512];
            const ssize_t got = read(fd, stat, sizeof stat - 1);
            close(fd);
            if (got <= 0) continue;
            stat[got] = '\0';
            // "pid (name) state ppid ...": the name may hold anything, so look from its last ')'.
            const char* close = nullptr;
            for (const char* c = stat; *c; ++c)
                if (*c == ')') close = c;
            if (!close || !close[1] || !close[2] || !close[3]) continue;
            long ppid = 0;
            for (const char* c = close + 4; *c >= '0' && *c <= '9'; ++c) ppid = ppid * 10 + (*c - '0');
            if (ppid != self) continue;
            long pid = 0;
            for (const char* c = name; *c >= '0' && *c <= '9'; ++c) pid = pid * 10 + (*c - '0');
            kill(static_cast<pid_t>(pid), SIGKILL);
        }
    }
    close(dir);
}

void WriteInt(int fd, int value) {
    const char* p = reinterpret_cast<const char*>(&value);
    size_t left = sizeof value;
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

[[noreturn]] void RunBrowser(const LaunchPlan& plan) {
    ResetSignals();
    setpgid(0, 0);
    // The pipe ends may sit on 3 or 4 already: lift them above before placing them.
    int cmd = fcntl(plan.commandRead, F_DUPFD, 10);
    int evt = fcntl(plan.eventWrite, F_DUPFD, 10);
    int status = fcntl(plan.statusWrite, F_DUPFD_CLOEXEC, 10);
    int err = fcntl(plan.stderrWrite, F_DUPFD, 10);
    if (cmd < 0 || evt < 0 || status < 0 || err < 0) _exit(127);
    dup2(plan.devNull, 0);
    dup2(plan.devNull, 1);
    if (dup2(err, 2) < 0 || dup2(cmd, 3) < 0 || dup2(evt, 4) < 0 || dup3(status, 5, O_CLOEXEC) < 0)
        _exit(127);
    CloseFrom(6);
    execve(plan.executable.c_str(), plan.argv.data(), plan.envp.data());
    WriteInt(5, -errno);
    _exit(127);
}

[[noreturn]] void RunGuardian(const LaunchPlan& plan) {
    ResetSignals();
    // Out of the terminal's foreground group, so that Ctrl-C of the program leaves the cleanup to run.
    setpgid(0, 0);
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    struct sigaction ign {};
    ign.sa_handler = SIG_IGN;
    for (int sig : {SIGINT, SIGQUIT, SIGHUP, SIGPIPE}) sigaction(sig, &ign, nullptr);
    pid_t browser = fork();
    if (browser == 0) RunBrowser(plan);
    if (browser > 0) {
        g_guardedBrowser = browser;
        struct sigaction fwd {};
        fwd.sa_handler = KillGuardedBrowser;
        sigaction(SIGTERM, &fwd, nullptr);
        WriteInt(plan.statusWrite, browser);
    } else {
        WriteInt(plan.statusWrite, -errno);
    }
    // The browser's end is reported on fd 3, the only one kept.
    const int exitReport = fcntl(plan.exitWrite, F_DUPFD_CLOEXEC, 10);
    dup2(plan.devNull, 0);
    dup2(plan.devNull, 1);
    dup2(plan.devNull, 2);
    if (exitReport < 0 || dup3(exitReport, 3, O_CLOEXEC) < 0) close(3);
    CloseFrom(4);
    struct sigaction alarmAction {};
    alarmAction.sa_handler = SweepChildrenSoon;  // no SA_RESTART: the wait below returns to sweep
    sigaction(SIGALRM, &alarmAction, nullptr);
    // Reap the browser and everything it leaves orphaned. Once the browser itself is gone, the rest of its
    // process group is killed, and what still lives 2 s later (helpers in groups of their own) as well.
    // ECHILD means no process of the browser's is left.
    for (;;) {
        int st = 0;
        const pid_t done = waitpid(-1, &st, 0);
        if (done < 0) {
            if (errno != EINTR) break;
            if (g_sweepChildren) {
                g_sweepChildren = 0;
                KillRemainingChildren();
            }
            continue;
        }
        if (done == browser) {
            WriteInt(3, st);
            close(3);
            kill(-browser, SIGKILL);
            alarm(2);
        }
    }
    const char* rmArgs[] = {"rm", "-rf", "--", plan.profileDir.c_str(), nullptr};
    execve("/bin/rm", const_cast<char* const*>(rmArgs), environ);
    _exit(0);
}

}  // namespace

pid_t ForkGuardian(const LaunchPlan& plan) {
    const pid_t guardian = fork();
    if (guardian == 0) RunGuardian(plan);
    return guardian;
}

bool ReadIntWithin(int fd, int* value, int timeoutMs, bool* eof) {
    char buf[sizeof(int)];
    size_t got = 0;
    *eof = false;
    while (got < sizeof buf) {
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        ssize_t n = read(fd, buf + got, sizeof buf - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *eof = true;
            return false;
        }
        got += static_cast<size_t>(n);
    }
    std::memcpy(value, buf, sizeof buf);
    return true;
}
