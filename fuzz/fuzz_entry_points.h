// The fuzzed entry points: each feeds one input through a unit and checks the promises of its interface.
// Shared by the libFuzzer targets in this folder and by the regression test that replays saved inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>

// A unit broke a promise of its interface on some input (wrong size, lost text, a ".$$$" left behind).
// Any other exception escaping an entry point is a finding too: the units promise which ones they throw.
class FuzzCheckFailure : public std::logic_error {
  public:
    using std::logic_error::logic_error;
};

// List-file text: ListFileLinesFromBytes, EntryFromListFileLine and SplitByDelimiter (";" and a delimiter
// taken from the input). Checks line limits, that splitting loses nothing, and that written lines read back.
void FuzzListFile(const uint8_t* data, size_t size);

// TJpegImage::LoadFromData then ToBitmap, plain and with Quantize236; decoded sizes match the header, and
// small pictures survive a round trip through the encoder. Only EJpegError may come out of the codec.
void FuzzJpegImage(const uint8_t* data, size_t size);

// LoadJpegBitmap on the input written to a temporary file; it agrees with TJpegImage on the same bytes.
void FuzzLoadJpegBitmap(const uint8_t* data, size_t size);

// ShrinkJpegToWidth on the input written to a file in a temporary folder (width 1..48, from the size).
// Afterwards the file is either unchanged or a valid thumbnail of the promised size, and it is the only file
// in the folder (no ".$$$" remains).
void FuzzShrinkJpeg(const uint8_t* data, size_t size);
