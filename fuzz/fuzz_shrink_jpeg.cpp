// libFuzzer target: ShrinkJpegToWidth in a temporary folder.
#include "fuzz_entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzShrinkJpeg(data, size);
    return 0;
}
