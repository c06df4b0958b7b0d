// Whether the fonts that pages in every script need are installed.
#include "script_fonts.h"

#include <QProcess>
#include <optional>

namespace {

// Whether fc-list names any font for `pattern`; nothing when fc-list could not be run.
std::optional<bool> FontFor(const QString& pattern) {
    QProcess list;
    list.start(QStringLiteral("fc-list"), {pattern, QStringLiteral("family")});
    if (!list.waitForFinished(5000) || list.exitStatus() != QProcess::NormalExit || list.exitCode() != 0) {
        list.kill();
        list.waitForFinished(1000);
        return std::nullopt;
    }
    return !list.readAllStandardOutput().trimmed().isEmpty();
}

}  // namespace

QStringList MissingScriptFontPackages() {
    QStringList missing;
    // Each language alone: a font for Chinese alone leaves Japanese and Korean text in boxes.
    for (const char* lang : {":lang=zh", ":lang=ja", ":lang=ko"})
        if (FontFor(QString::fromLatin1(lang)) == false) {
            missing << QStringLiteral("fonts-noto-cjk");
            break;
        }
    // DejaVu draws a few smileys in black and white; pages expect the coloured emoji of a colour font.
    if (FontFor(QStringLiteral(":charset=1f600:color=true")) == false)
        missing << QStringLiteral("fonts-noto-color-emoji");
    return missing;
}
