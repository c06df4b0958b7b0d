// libFuzzer target: list-file text (reader, row split, delimiter split).
#include "fuzz_entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzListFile(data, size);
    return 0;
}
