// SplitByDelimiter: the field count rule and untouched fields.
#include "split_by_delimiter.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char16_t* line;
    QStringList fields;
};

class SplitByDelimiterTable : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitByDelimiterTable, GivesDelimitersPlusOneFields) {
    const SplitCase& c = GetParam();
    EXPECT_EQ(SplitByDelimiter(QString::fromUtf16(c.line), QStringLiteral(";")), c.fields);
}

INSTANTIATE_TEST_SUITE_P(
    Semicolon, SplitByDelimiterTable,
    ::testing::Values(SplitCase{u"a;b", {"a", "b"}}, SplitCase{u"a", {"a"}}, SplitCase{u"", {""}},
                      SplitCase{u"a;", {"a", ""}}, SplitCase{u";b", {"", "b"}}, SplitCase{u";", {"", ""}},
                      SplitCase{u"a;;c", {"a", "", "c"}}, SplitCase{u"a;b;c", {"a", "b", "c"}},
                      SplitCase{u";;;", {"", "", "", ""}},
                      // Blanks and other separators stay inside the fields.
                      SplitCase{u" a ; b ", {" a ", " b "}}, SplitCase{u"a,b\tc", {"a,b\tc"}},
                      SplitCase{u"http://x.de/?a=1;b=2;pic", {"http://x.de/?a=1", "b=2", "pic"}},
                      SplitCase{u"Müller;Bäcker", {"Müller", "Bäcker"}}));

TEST(SplitByDelimiter, LongerDelimiterIsMatchedWhole) {
    EXPECT_EQ(SplitByDelimiter(QStringLiteral("a::b:c::"), QStringLiteral("::")),
              QStringList({"a", "b:c", ""}));
}

TEST(SplitByDelimiter, EmptyDelimiterKeepsTheLineWhole) {
    EXPECT_EQ(SplitByDelimiter(QStringLiteral("a;b"), QString()), QStringList({"a;b"}));
}

}  // namespace
