// Helpers shared by the tests.
#include "test_support.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>

void UsePrivateRuntimeDir() {
    static char dir[] = "/tmp/bildoro-test-runtime-XXXXXX";
    static bool made = false;
    if (made) return;
    if (!mkdtemp(dir)) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    made = true;
    setenv("XDG_RUNTIME_DIR", dir, 1);
    std::atexit([] { rmdir(dir); });
}
