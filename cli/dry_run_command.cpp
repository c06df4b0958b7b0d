// bildoro-batch --dry-run: a user's check of a list file.
#include "commands.h"

int RunDryRun(const QString&, const QString&, FILE*, FILE* err) {
    std::fprintf(err, "bildoro-batch: --dry-run is not available yet\n");
    return 1;
}
