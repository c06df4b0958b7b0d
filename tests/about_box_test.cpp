// The About box: the version it shows, the licences it names, and texts that fit their labels.
#include "about.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QLabel>
#include <QTimer>
#include <functional>

namespace {

// Opens the box as the window's menu does, runs `look` while it is shown, then closes it.
void WhileShown(TAboutForm& about, const std::function<void()>& look) {
    bool looked = false;
    QTimer::singleShot(0, &about, [&] {
        look();
        looked = true;
        about.reject();
    });
    about.ShowModalOver(nullptr);
    ASSERT_TRUE(looked) << "the About box was never shown";
}

QString LicenceText(const TAboutForm& about) {
    const auto* label = about.findChild<QLabel*>(QStringLiteral("licences"));
    return label ? label->text() : QString();
}

}  // namespace

TEST(AboutBoxTest, ShowsTheFileVersionEachTimeItOpens) {
    TAboutForm about;
    about.lb_version->setText(QStringLiteral("stale"));
    WhileShown(about, [&] { EXPECT_EQ(about.lb_version->text(), QStringLiteral(BILDORO_FILE_VERSION)); });
}

TEST(AboutBoxTest, NamesTheProgramsLicenceAndThoseOfItsComponents) {
    TAboutForm about;
    const QString text = LicenceText(about);
    struct Case {
        const char* what;
        QString needle;
    };
    const Case cases[] = {
        {"the program's own licence", QStringLiteral("MIT-Lizenz")},
        {"the copyright holder", QStringLiteral("Bildoro-Entwickler")},
        {"the Qt version in use", QStringLiteral("Qt %1").arg(QString::fromLatin1(qVersion()))},
        {"Qt's licence", QStringLiteral("LGPL-3.0")},
        {"libjpeg-turbo", QStringLiteral("libjpeg-turbo")},
        {"libjpeg-turbo's licences", QStringLiteral("IJG")},
        {"the IJG acknowledgement", QStringLiteral("Independent JPEG Group")},
        {"Chromium", QStringLiteral("Chromium")},
        {"Chromium's licence", QStringLiteral("BSD-3-Clause")},
    };
    for (const Case& c : cases)
        EXPECT_TRUE(text.contains(c.needle)) << c.what << " missing from:\n" << qPrintable(text);
}

// A label whose text needs more room than its fixed geometry gives is cut off on screen.
TEST(AboutBoxTest, EveryTextFitsItsLabel) {
    TAboutForm about;
    WhileShown(about, [&] {
        const QRect box = about.rect();
        for (const QLabel* label : about.findChildren<QLabel*>()) {
            if (label->text().isEmpty()) continue;  // the icon
            const QRect g = label->geometry();
            const int needed =
                label->wordWrap() ? label->heightForWidth(g.width()) : label->sizeHint().height();
            EXPECT_LE(needed, g.height()) << "text cut off at the bottom: " << qPrintable(label->text());
            if (!label->wordWrap()) {
                EXPECT_LE(label->sizeHint().width(), g.width())
                    << "text cut off at the right: " << qPrintable(label->text());
            }
            EXPECT_TRUE(box.contains(g)) << "label outside the box: " << qPrintable(label->text());
        }
        // For a look at the box: BILDORO_SCREENSHOT_DIR=/some/folder about_box_test
        const QString shots = qEnvironmentVariable("BILDORO_SCREENSHOT_DIR");
        if (!shots.isEmpty()) about.grab().save(QDir(shots).filePath(QStringLiteral("about-box.png")));
    });
}
