// bildoro-batch --shrink: reduces existing captures in place.
#include "commands.h"

int RunShrink(const QString&, const QStringList&, FILE*, FILE* err) {
    std::fprintf(err, "bildoro-batch: --shrink is not available yet\n");
    return 1;
}
