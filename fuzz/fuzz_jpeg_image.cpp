// libFuzzer target: TJpegImage decoding, plain and quantised to 236 colours.
#include "fuzz_entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzJpegImage(data, size);
    return 0;
}
