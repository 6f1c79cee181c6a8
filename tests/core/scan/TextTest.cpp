// Unicode text rules: canonical equivalence, NFC code-point order, grapheme counts, case mapping
// and UTF-8 validity.
#include "scan/Text.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillmere {
namespace {

// "é" as one code point and as "e" followed by a combining acute accent.
const std::string composedE = "\xC3\xA9";
const std::string decomposedE = "e\xCC\x81";

TEST(TextTest, NfcComposesAndLeavesComposedTextAlone) {
    EXPECT_EQ(Text::nfc("/photos/caf" + decomposedE + ".jpg"), "/photos/caf" + composedE + ".jpg");
    EXPECT_EQ(Text::nfc("/photos/caf" + composedE + ".jpg"), "/photos/caf" + composedE + ".jpg");
    EXPECT_EQ(Text::nfc("/plain/ascii.mov"), "/plain/ascii.mov");
    EXPECT_EQ(Text::nfc(""), "");
    // Hangul jamo L+V compose to one syllable.
    EXPECT_EQ(Text::nfc("\xE1\x84\x80\xE1\x85\xA1"), "\xEA\xB0\x80");
}

TEST(TextTest, NfcReordersCombiningMarksCanonically) {
    // a + dot below (ccc 220) + acute (ccc 230) and a + acute + dot below are equivalent.
    const std::string belowThenAcute = "a\xCC\xA3\xCC\x81";
    const std::string acuteThenBelow = "a\xCC\x81\xCC\xA3";
    EXPECT_EQ(Text::nfc(belowThenAcute), Text::nfc(acuteThenBelow));
    EXPECT_TRUE(Text::equal(belowThenAcute, acuteThenBelow));
}

TEST(TextTest, NfcLeavesIllFormedTextUnchanged) {
    const std::string illFormed = "/a/\xFF\xFE" + decomposedE;
    EXPECT_EQ(Text::nfc(illFormed), illFormed);
}

TEST(TextTest, EqualIsCanonicalEquivalence) {
    EXPECT_TRUE(Text::equal(composedE, decomposedE));
    EXPECT_TRUE(
        Text::equal("/x/" + composedE + "t" + composedE, "/x/" + decomposedE + "t" + composedE));
    EXPECT_TRUE(Text::equal("abc", "abc"));
    EXPECT_FALSE(Text::equal("abc", "abd"));
    EXPECT_FALSE(Text::equal("abc", "ABC"));
    EXPECT_FALSE(Text::equal(composedE, "e"));
    EXPECT_TRUE(Text::equal("", ""));
    // Compatibility equivalents are not canonical ones: the "fi" ligature stays distinct.
    EXPECT_FALSE(Text::equal("\xEF\xAC\x81", "fi"));
}

TEST(TextTest, IllFormedNamesNeverCompareEqualToOtherNames) {
    // Replacing ill-formed bytes with U+FFFD would make these two different names one.
    EXPECT_FALSE(Text::equal("/a/\xFF.jpg", "/a/\xFE.jpg"));
    EXPECT_FALSE(Text::equal("/a/\xFF.jpg", "/a/\xEF\xBF\xBD.jpg"));
    EXPECT_TRUE(Text::equal("/a/\xFF.jpg", "/a/\xFF.jpg"));
    EXPECT_TRUE(Text::less("/a/\xFE.jpg", "/a/\xFF.jpg"));
    EXPECT_FALSE(Text::less("/a/\xFF.jpg", "/a/\xFE.jpg"));
}

TEST(TextTest, LessIsByteOrderForAscii) {
    EXPECT_TRUE(Text::less("/B/x.jpg", "/a/x.jpg"));
    EXPECT_FALSE(Text::less("/a/x.jpg", "/B/x.jpg"));
    EXPECT_TRUE(Text::less("/a/x", "/a/x.jpg"));
    EXPECT_FALSE(Text::less("/a/x.jpg", "/a/x.jpg"));
    EXPECT_TRUE(Text::less("", "a"));
    EXPECT_TRUE(Text::less("/a/Z.jpg", "/a/_.jpg"));
}

TEST(TextTest, LessComparesNfcFormsByCodePoint) {
    // Decomposed, "e" + U+0301 would sort before "f"; composed, U+00E9 sorts after "z".
    EXPECT_TRUE(Text::less("/a/z", "/a/" + decomposedE));
    EXPECT_TRUE(Text::less("/a/z", "/a/" + composedE));
    EXPECT_FALSE(Text::less("/a/" + decomposedE, "/a/f"));
    EXPECT_FALSE(Text::less(composedE, decomposedE));
    EXPECT_FALSE(Text::less(decomposedE, composedE));
}

TEST(TextTest, LessUsesCodePointOrderNotUtf16Order) {
    // U+FF21 (fullwidth A) is below U+1F600 by code point but above it in UTF-16 code units.
    const std::string fullwidthA = "\xEF\xBC\xA1";
    const std::string grinning = "\xF0\x9F\x98\x80";
    EXPECT_TRUE(Text::less(fullwidthA, grinning));
    EXPECT_FALSE(Text::less(grinning, fullwidthA));
}

TEST(TextTest, SortingGivesEquivalentSpellingsTheSamePlace) {
    std::vector<std::string> composed = {"/p/" + composedE + "t" + composedE + ".jpg", "/p/f.jpg",
                                         "/p/d.jpg", "/p/z.jpg"};
    std::vector<std::string> decomposed = {"/p/" + decomposedE + "t" + decomposedE + ".jpg",
                                           "/p/f.jpg", "/p/d.jpg", "/p/z.jpg"};
    std::sort(composed.begin(), composed.end(), Text::less);
    std::sort(decomposed.begin(), decomposed.end(), Text::less);
    ASSERT_EQ(composed.size(), decomposed.size());
    for (std::size_t i = 0; i < composed.size(); ++i)
        EXPECT_TRUE(Text::equal(composed[i], decomposed[i])) << i;
    EXPECT_EQ(composed.back(), "/p/" + composedE + "t" + composedE + ".jpg");
}

TEST(TextTest, CharacterCountCountsGraphemeClusters) {
    EXPECT_EQ(Text::characterCount(""), 0u);
    EXPECT_EQ(Text::characterCount("photos"), 6u);
    EXPECT_EQ(Text::characterCount(composedE), 1u);
    EXPECT_EQ(Text::characterCount(decomposedE), 1u);
    EXPECT_EQ(Text::characterCount("caf" + decomposedE), 4u);
    // e + acute + dot below: one character however many marks follow.
    EXPECT_EQ(Text::characterCount("e\xCC\x81\xCC\xA3"), 1u);
    // Man, ZWJ, woman, ZWJ, girl, ZWJ, boy: one family emoji.
    const std::string family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D"
                               "\xF0\x9F\x91\xA7\xE2\x80\x8D\xF0\x9F\x91\xA6";
    EXPECT_EQ(Text::characterCount(family), 1u);
    EXPECT_EQ(Text::characterCount("a" + family + "b"), 3u);
    // Two regional indicators make one flag.
    EXPECT_EQ(Text::characterCount("\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA"), 1u);
    // Grouping separators of some locales are one non-ASCII character.
    EXPECT_EQ(Text::characterCount("1\xE2\x80\xAF"
                                   "234"),
              5u);
}

TEST(TextTest, CharacterCountTreatsCrLfAsOneCharacter) {
    EXPECT_EQ(Text::characterCount("a\r\nb"), 3u);
    EXPECT_EQ(Text::characterCount("\n\r"), 2u);
    EXPECT_EQ(Text::characterCount("\r\n\r\n"), 2u);
    EXPECT_EQ(Text::characterCount(composedE + "\r\n"), 2u);
}

TEST(TextTest, LowercasedUsesFullUnicodeMappingInTheRootLocale) {
    EXPECT_EQ(Text::lowercased("IMG_0001.JPG"), "img_0001.jpg");
    EXPECT_EQ(Text::lowercased("\xC3\x89T\xC3\x89"), "\xC3\xA9t\xC3\xA9"); // ÉTÉ
    EXPECT_EQ(Text::lowercased("\xCE\xA3\xCE\x9F\xCE\xA6"), "\xCF\x83\xCE\xBF\xCF\x86");
    // Root locale: capital I becomes i, not the dotless i of a Turkish mapping.
    EXPECT_EQ(Text::lowercased("I"), "i");
    // Capital I with dot above lower-cases to i + combining dot above outside Turkish.
    EXPECT_EQ(Text::lowercased("\xC4\xB0"), "i\xCC\x87");
}

TEST(TextTest, LowercasedKeepsIllFormedBytes) {
    EXPECT_EQ(Text::lowercased("/A/\xFF\xC3.JPG"), "/a/\xFF\xC3.jpg");
}

TEST(TextTest, IsValidUtf8AcceptsWellFormedText) {
    EXPECT_TRUE(Text::isValidUtf8(""));
    EXPECT_TRUE(Text::isValidUtf8("ascii"));
    EXPECT_TRUE(Text::isValidUtf8(composedE + decomposedE));
    EXPECT_TRUE(Text::isValidUtf8("\xF4\x8F\xBF\xBF")); // U+10FFFF
    EXPECT_TRUE(Text::isValidUtf8(std::string("a\0b", 3)));
}

TEST(TextTest, IsValidUtf8RejectsIllFormedText) {
    EXPECT_FALSE(Text::isValidUtf8("\xFF"));
    EXPECT_FALSE(Text::isValidUtf8("\xC3"));             // truncated
    EXPECT_FALSE(Text::isValidUtf8("\xA9"));             // lone continuation byte
    EXPECT_FALSE(Text::isValidUtf8("\xC0\xAF"));         // overlong "/"
    EXPECT_FALSE(Text::isValidUtf8("\xE0\x80\xAF"));     // overlong "/"
    EXPECT_FALSE(Text::isValidUtf8("\xED\xA0\x80"));     // surrogate U+D800
    EXPECT_FALSE(Text::isValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(Text::isValidUtf8("ok/\xE2\x82"));      // truncated at the end
}

} // namespace
} // namespace quillmere
