// Whether the fonts that pages in every script need are installed.
#include "script_fonts.h"

#include <QProcess>
#include <memory>
#include <optional>
#include <vector>

namespace {

// Runs fc-list for every pattern at once (each reads the whole font cache, a few tens of milliseconds) and
// tells for each whether it names any font; nothing for a pattern when fc-list could not be run.
std::vector<std::optional<bool>> FontsFor(const QStringList& patterns) {
    std::vector<std::unique_ptr<QProcess>> lists;
    for (const QString& pattern : patterns) {
        lists.push_back(std::make_unique<QProcess>());
        lists.back()->start(QStringLiteral("fc-list"), {pattern, QStringLiteral("family")});
    }
    std::vector<std::optional<bool>> found;
    for (const std::unique_ptr<QProcess>& list : lists) {
        if (!list->waitForFinished(5000) || list->exitStatus() != QProcess::NormalExit ||
            list->exitCode() != 0) {
            list->kill();
            list->waitForFinished(1000);
            found.push_back(std::nullopt);
        } else {
            found.push_back(!list->readAllStandardOutput().trimmed().isEmpty());
        }
    }
    return found;
}

}  // namespace

QStringList MissingScriptFontPackages() {
    // Each language alone: a font for Chinese alone leaves Japanese and Korean text in boxes. DejaVu draws a
    // few smileys in black and white; pages expect the coloured emoji of a colour font.
    const std::vector<std::optional<bool>> found =
        FontsFor({QStringLiteral(":lang=zh"), QStringLiteral(":lang=ja"), QStringLiteral(":lang=ko"),
                  QStringLiteral(":charset=1f600:color=true")});
    QStringList missing;
    if (found[0] == false || found[1] == false || found[2] == false)
        missing << QStringLiteral("fonts-noto-cjk");
    if (found[3] == false) missing << QStringLiteral("fonts-noto-color-emoji");
    return missing;
}
