// The capture sizes of the three resolution choices.
#include "capture_size.h"

namespace {

struct Resolution {
    const char16_t* name;
    QSize capture;
};

const Resolution kResolutions[] = {
    {u"1280x1024", QSize(1280, 990)},
    {u"1024x768", QSize(1024, 768)},
    {u"800x600", QSize(800, 600)},
};

}  // namespace

std::optional<QSize> ResolutionOfEntry(int index) {
    if (index < 0 || index >= int(std::size(kResolutions))) return std::nullopt;
    return kResolutions[index].capture;
}

std::optional<QSize> ResolutionOfText(const QString& text) {
    const QString t = QString(text).remove(u' ').toLower();
    for (const Resolution& r : kResolutions)
        if (t == QStringView(r.name)) return r.capture;
    return std::nullopt;
}
