// The guardian process under which the browser runs: it starts the browser, reaps every process the browser
// leaves behind, and removes the private profile folder once the last one is gone.
#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

// Everything the forked processes need, prepared before fork so they need no allocation.
struct LaunchPlan {
    std::string executable;
    std::vector<std::string> args;
    std::vector<char*> argv;
    std::vector<std::string> env;
    std::vector<char*> envp;
    std::string profileDir;
    int commandRead = -1;  // becomes the browser's fd 3
    int eventWrite = -1;   // becomes the browser's fd 4
    int statusWrite = -1;  // guardian reports the browser's pid; the browser reports a failed exec
    int exitWrite = -1;    // guardian reports the browser's wait status once it has ended
    int stderrWrite = -1;  // becomes the browser's stderr
    int devNull = -1;
};

// Forks the guardian, which forks the browser into a process group of its own and executes it with
// commandRead as its fd 3 and eventWrite as its fd 4. On statusWrite the guardian reports the browser's pid
// (or -errno when that fork failed) and the browser -errno when its exec failed; the end of the pipe without
// more means the exec succeeded. On exitWrite the guardian reports the browser's wait status (as waitpid
// gives it) when it has reaped the browser. Returns the guardian's pid, or -1 with errno set.
pid_t ForkGuardian(const LaunchPlan& plan);

// Reads one int of the status pipe within timeoutMs. False when none came in time, or at the end of the pipe
// (*eof then true).
bool ReadIntWithin(int fd, int* value, int timeoutMs, bool* eof);
