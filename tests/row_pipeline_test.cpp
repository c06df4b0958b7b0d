// The per-row pipeline's pure parts: the output path rule and the first failure kept.
#include "row_pipeline.h"

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
    EXPECT_EQ(RowStageName(RowStage::Reduce), QStringLiteral("Verkleinerung"));
}
