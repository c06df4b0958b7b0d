// libFuzzer target: LoadJpegBitmap on a file.
#include "fuzz_entry_points.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzLoadJpegBitmap(data, size);
    return 0;
}
