#include <gtest/gtest.h>

#include <cstring>

#include "model/Utf8.h"

namespace nbr {
namespace {

TEST(Utf8ToWide, ConvertsEveryPlaneIncludingSurrogatePairs) {
    EXPECT_EQ(utf8ToWide(""), u"");
    EXPECT_EQ(utf8ToWide("Z\xC3\xBCrich \xE2\x82\xAC"), u"Z\u00FCrich \u20AC");
    // U+1F600 needs a surrogate pair.
    const std::u16string smile = utf8ToWide("a\xF0\x9F\x98\x80" "b");
    ASSERT_EQ(smile.size(), 4u);
    EXPECT_EQ(smile[1], 0xD83D);
    EXPECT_EQ(smile[2], 0xDE00);
    EXPECT_EQ(utf8ToWide("\xF4\x8F\xBF\xBF"), std::u16string({char16_t(0xDBFF), char16_t(0xDFFF)}));
}

TEST(Utf8ToWide, IllFormedInputBecomesReplacementCharacters) {
    const char16_t R = 0xFFFD;
    struct Case {
        const char* in;
        std::u16string out;
    } cases[] = {
        {"\x80", {R}},                                 // stray continuation byte
        {"a\xC3", {u'a', R}},                          // truncated at the end
        {"\xE2\x82" "A", {R, u'A'}},                   // truncated, one replacement for the whole prefix
        {"\xF0\x9F\x98" "x", {R, u'x'}},
        {"\xC0\xAF", {R, R}},                          // overlong '/'
        {"\xE0\x80\xAF", {R, R, R}},                   // overlong three-byte form
        {"\xED\xA0\x80", {R, R, R}},                   // encoded surrogate
        {"\xF4\x90\x80\x80", {R, R, R, R}},            // above U+10FFFF
        {"\xFF" "ok", {R, u'o', u'k'}},
    };
    for (const auto& c : cases) EXPECT_EQ(utf8ToWide(c.in), c.out) << c.in;
}

TEST(Utf16Cut, NeverSplitsASurrogatePair) {
    const std::u16string s = utf8ToWide("ab\xF0\x9F\x98\x80" "c");  // a b [hi lo] c
    EXPECT_EQ(utf16Cut(s, 0), u"");
    EXPECT_EQ(utf16Cut(s, 2), u"ab");
    EXPECT_EQ(utf16Cut(s, 3), u"ab");  // would end on the high half
    EXPECT_EQ(utf16Cut(s, 4), s.substr(0, 4));
    EXPECT_EQ(utf16Cut(s, 99), s);
}

TEST(Utf8Cut, MovesBackToACharacterBoundary) {
    const std::string s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a é € 😀 : 1+2+3+4 bytes
    const size_t expected[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
    for (size_t max = 0; max < std::size(expected); ++max)
        EXPECT_EQ(utf8CutPoint(s, max), expected[max]) << "max " << max;
    EXPECT_EQ(utf8Cut(s, 5), "a\xC3\xA9");
    // Invalid bytes are single units and may be cut between.
    EXPECT_EQ(utf8CutPoint("\xFF\xFE\xFD", 2), 2u);
    EXPECT_EQ(utf8CutPoint("\x80\x80\x80", 1), 1u);
}

TEST(Utf8Cut, CopyIntoFixedBufferFitsTerminatorAndWholeCharacters) {
    char buf[5];
    std::memset(buf, 'x', sizeof buf);
    utf8CopyToBuffer(buf, sizeof buf, "ab\xE2\x82\xAC");  // 5 bytes do not fit with the zero
    EXPECT_STREQ(buf, "ab");
    utf8CopyToBuffer(buf, sizeof buf, "abcd");
    EXPECT_STREQ(buf, "abcd");
    utf8CopyToBuffer(buf, 1, "abc");
    EXPECT_STREQ(buf, "");
    utf8CopyToBuffer(buf, 0, "abc");  // nothing written
    EXPECT_STREQ(buf, "");
}

}  // namespace
}  // namespace nbr

TEST(WideToUtf8, RoundTripsEveryPlaneAndReplacesLoneSurrogates) {
    const std::string text = "a\xC3\xB8\xE2\x82\xAC\xF0\x9F\x8C\xA7z";  // a ø € 🌧 z
    EXPECT_EQ(nbr::wideToUtf8(nbr::utf8ToWide(text)), text);
    EXPECT_EQ(nbr::wideToUtf8(std::u16string{u'x', char16_t(0xD83C)}), "x\xEF\xBF\xBD");
    EXPECT_EQ(nbr::wideToUtf8(std::u16string{char16_t(0xDF27), u'y'}), "\xEF\xBF\xBDy");
}
