// A picture's fingerprint: a 64-bit perceptual hash that stays the same when a page changes a little and
// differs when it changes much, and the picture's mean colour. Runs compare and group pages by it.
#pragma once

#include "bitmap24.h"

#include <QString>
#include <cstdint>
#include <optional>

struct TFingerprint {
    uint64_t hash = 0;
    uint8_t red = 0, green = 0, blue = 0;  // the mean colour of the picture

    bool operator==(const TFingerprint&) const = default;
};

// The fingerprint of a picture that is not empty. The hash is a DCT hash: the picture's grey values
// (0.299 R + 0.587 G + 0.114 B) averaged over a 32 x 32 grid of equal areas, that grid's 2-D cosine
// transform, and one bit for each of the 8 x 8 lowest frequencies after the first row and column (which carry
// only the overall brightness and its gradients): set when the coefficient is above the median of the 64.
// Text that changes, a clock or a counter, moves a few bits; another layout moves half of them. Bit 63 is the
// lowest frequency pair (1, 1), bit 0 the highest (8, 8). A picture of one colour has the hash 0.
TFingerprint PictureFingerprint(const TBitmap24& picture);

// The number of bits in which two hashes differ, 0 to 64.
int HashDistance(uint64_t a, uint64_t b);

// The hash as 16 lower-case hexadecimal digits, and back; nullopt for any other text.
QString HashText(uint64_t hash);
std::optional<uint64_t> HashFromText(const QString& text);
// The mean colour as "#rrggbb".
QString ColourText(const TFingerprint& fingerprint);
// A fingerprint from its hash and colour texts; nullopt when either is not of its form.
std::optional<TFingerprint> FingerprintFromText(const QString& hash, const QString& colour);
