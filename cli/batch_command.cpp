// bildoro-batch LIST -o FOLDER: the batch run without windows.
#include "commands.h"

int RunBatch(const BatchOptions&, FILE*, FILE* err) {
    std::fprintf(err, "bildoro-batch: the batch run is not available yet\n");
    return 1;
}
