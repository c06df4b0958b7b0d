// The consent state of one navigation on recorded messages of the rule library, and on what a page forges.
#include "consent.h"

#include <gtest/gtest.h>

namespace {

const QString kDoc = QStringLiteral("S 1");

QString Message(const char* json) {
    return QString::fromUtf8(json);
}

TEST(ConsentState, RecordedDialogIsFoundThenRefused) {
    TConsentState state;
    state.DocumentCreated(kDoc);
    const TConsentState::Reply init =
        state.Take(kDoc, Message(R"({"type":"init","url":"https://news.example/"})"));
    EXPECT_TRUE(init.evaluate.startsWith(QStringLiteral("window.autoconsentReceiveMessage")));
    EXPECT_TRUE(init.evaluate.contains(QStringLiteral("\"type\":\"initResp\"")));
    EXPECT_FALSE(state.Pending());
    EXPECT_TRUE(state.Take(kDoc, Message(R"({"type":"popupFound","cmp":"Onetrust"})")).changed);
    EXPECT_TRUE(state.Pending());
    EXPECT_EQ(state.Platform(), QStringLiteral("Onetrust"));
    EXPECT_TRUE(
        state.Take(kDoc, Message(R"({"type":"optOutResult","cmp":"Onetrust","result":true})")).changed);
    EXPECT_TRUE(state.Handled());
    EXPECT_FALSE(state.Pending());
}

// What a page may send over the channel: each is bounded or ignored, and nothing carries over to the next
// navigation.
TEST(ConsentState, ForgedAndFloodedMessagesAreBoundedOrIgnored) {
    TConsentState state;
    state.DocumentCreated(kDoc);
    // A document not of this navigation (the last row's unload handler) is not heard.
    EXPECT_FALSE(state.Take(QStringLiteral("S 9"), Message(R"({"type":"popupFound","cmp":"X"})")).changed);
    EXPECT_TRUE(state.Platform().isEmpty());
    // Control characters and length do not reach a result line or the report.
    state.Take(kDoc, Message("{\"type\":\"popupFound\",\"cmp\":\"FORGED\\u001b[2J\"}"));
    EXPECT_EQ(state.Platform(), QStringLiteral("FORGED2J"));
    // A message of 8 MB is not read.
    const QString huge = QStringLiteral(R"({"type":"popupFound","cmp":"%1"})").arg(QString(8 << 20, u'x'));
    EXPECT_FALSE(state.Take(kDoc, huge).changed);
    // The rules go out once per document, however often "init" comes.
    const QString init = Message(R"({"type":"init","url":"https://a.example/"})");
    EXPECT_FALSE(state.Take(kDoc, init).evaluate.isEmpty());
    EXPECT_TRUE(state.Take(kDoc, init).evaluate.isEmpty());
    // A flood ends being heard.
    int heard = 0;
    for (int i = 0; i < 5000; ++i)
        heard += state.Take(kDoc, Message(R"({"type":"popupFound","cmp":"Flood"})")).changed;
    EXPECT_LT(heard, 500);
    state.Reset();
    EXPECT_TRUE(state.Platform().isEmpty());
    EXPECT_FALSE(state.Pending());
    EXPECT_FALSE(state.Take(kDoc, Message(R"({"type":"popupFound","cmp":"Old"})")).changed)
        << "a document of the last navigation";
}

}  // namespace
