// The per-row pipeline's pure parts: the output path rule, the first failure kept, the addresses refused, and
// the capture sizes of the resolution choices.
#include "row_pipeline.h"
#include "capture_size.h"

#include <gtest/gtest.h>

TEST(OutputPicturePath, JoinsFolderAndPictureAsTheyStand) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/out", "news", "/out/news.jpg"},
        {"/out/", "news", "/out//news.jpg"},  // a trailing "/" is kept
        {"/out", "", "/out/.jpg"},            // an empty picture name
        {"/out", "sub/x", "/out/sub/x.jpg"},  // a "/" in the name reaches into a subfolder
        {"/out", "news.home", "/out/news.home.jpg"},
        {" /out ", " a ", " /out / a .jpg"},  // nothing trimmed
        {"/Bilder/Größe", "Übersicht", "/Bilder/Größe/Übersicht.jpg"},
    };
    for (const auto& [folder, picture, path] : cases)
        EXPECT_EQ(OutputPicturePath(QString::fromUtf8(folder), QString::fromUtf8(picture)),
                  QString::fromUtf8(path));
}

TEST(RowResult, KeepsTheFirstFailure) {
    RowResult r;
    EXPECT_TRUE(r.ok);
    r.Fail(RowStage::Capture, QStringLiteral("a"));
    r.Fail(RowStage::Reduce, QStringLiteral("b"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.stage, RowStage::Capture);
    EXPECT_EQ(r.reason, QStringLiteral("a"));
    EXPECT_EQ(RowStageName(RowStage::Reduce), QStringLiteral("reduce"));
}

TEST(RefusedAddressReason, LoadsWebFileAndDataPagesRefusesTheRest) {
    const std::pair<const char*, const char*> cases[] = {
        // address, scheme named in the reason (empty: loaded)
        {"http://a.b/", ""},
        {"file:///tmp/a.html", ""},
        {"data:text/html,<p>x", ""},
        {"about:blank", ""},
        {"javascript:alert(1)", "javascript"},
        {" JavaScript:void(0)", "javascript"},
        {"java\tscript:alert(1)", "javascript"},  // the browser drops tabs and line breaks
        {"\x01javascript:x", "javascript"},       // and control characters in front
        {"chrome://crash", "chrome"},
        {"devtools://devtools/x", "devtools"},
        {"view-source:http://a.b/", "view-source"},
        {"filesystem:http://a.b/x", "filesystem"},
        {"blob:http://a.b/1", "blob"},
        {"about:srcdoc", "about"},
        {"htp://127.0.0.1/x", "htp"},
        {"www.example.org", "-"},  // no scheme at all
        {"1http://a.b/", "-"},
    };
    for (const auto& [url, scheme] : cases) {
        const QString reason = RefusedAddressReason(QString::fromLatin1(url));
        if (!*scheme)
            EXPECT_TRUE(reason.isEmpty()) << url << ": " << qPrintable(reason);
        else if (*scheme == '-')
            EXPECT_TRUE(reason.startsWith(QStringLiteral("An address without a scheme")))
                << url << ": " << qPrintable(reason);
        else
            EXPECT_TRUE(reason.startsWith(
                QStringLiteral("An address with the scheme %1: ").arg(QLatin1String(scheme))))
                << url << ": " << qPrintable(reason);
    }
}

TEST(CaptureSize, OneTableForEntriesAndTexts) {
    EXPECT_EQ(ResolutionOfEntry(0), QSize(1280, 990));  // named 1280 x 1024, the view's height in the window
    EXPECT_EQ(ResolutionOfEntry(1), QSize(1024, 768));
    EXPECT_EQ(ResolutionOfEntry(2), QSize(800, 600));
    EXPECT_FALSE(ResolutionOfEntry(-1));
    EXPECT_FALSE(ResolutionOfEntry(3));
    EXPECT_EQ(ResolutionOfText(QStringLiteral("1280x1024")), QSize(1280, 990));
    EXPECT_EQ(ResolutionOfText(QStringLiteral(" 1024 X 768")), QSize(1024, 768));
    EXPECT_EQ(ResolutionOfText(QStringLiteral("800x600")), QSize(800, 600));
    for (const char* t : {"", "1280x990", "640x480", "800x600x1", "800*600"})
        EXPECT_FALSE(ResolutionOfText(QString::fromLatin1(t))) << t;
}
