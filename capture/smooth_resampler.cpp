// ScaleImageSmooth: Qt's area-averaging reduction into a 24-bit bitmap.
#include "smooth_resampler.h"

#include <stdexcept>
#include <string>

void ScaleImageSmooth(const QImage& source, TBitmap24& target) {
    if (target.IsEmpty()) return;
    if (source.isNull()) throw std::invalid_argument("ScaleImageSmooth: the source picture is empty");
    // QImage reports a failed allocation only as a null picture, which a reduction must never write.
    const QImage scaled =
        source.scaled(target.Width(), target.Height(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.width() != target.Width() || scaled.height() != target.Height())
        throw std::runtime_error("Not enough memory to reduce a picture of " +
                                 std::to_string(source.width()) + " x " + std::to_string(source.height()) +
                                 " pixels");
    target = TBitmap24::FromQImage(scaled);
}
