// Which file of a group of identical files stays.
#include "scan/KeepSelector.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace quillmere;

namespace {

// The choice must not depend on the order of the paths.
std::string keepOf(std::vector<std::string> paths) {
    std::sort(paths.begin(), paths.end());
    const std::string keep = KeepSelector::chooseKeep(paths);
    std::reverse(paths.begin(), paths.end());
    EXPECT_EQ(KeepSelector::chooseKeep(paths), keep);
    return keep;
}

} // namespace

TEST(KeepSelectorTest, CopyLikeNamesLose) {
    EXPECT_EQ(keepOf({"/a/IMG_0042.JPG", "/b/IMG_0042 copy.JPG"}), "/a/IMG_0042.JPG");
    EXPECT_EQ(keepOf({"/a/IMG_0042.JPG", "/a/IMG_0042 (1).JPG"}), "/a/IMG_0042.JPG");
    EXPECT_EQ(keepOf({"/a/IMG_0042.JPG", "/a/IMG_0042 2.JPG"}), "/a/IMG_0042.JPG");
    EXPECT_EQ(keepOf({"/a/1_IMG_0042.JPG", "/a/IMG_0042.JPG"}), "/a/IMG_0042.JPG");
}

TEST(KeepSelectorTest, SiblingSuffixCountsOnlyWhenTheBaseNameIsInTheGroup) {
    EXPECT_EQ(keepOf({"/a/IMG_0042.JPG", "/a/IMG_0042-2.JPG"}), "/a/IMG_0042.JPG");
    EXPECT_EQ(keepOf({"/a/photo 100.jpg", "/a/photo.jpg"}), "/a/photo.jpg");
    EXPECT_EQ(keepOf({"/a/IMG_0042-2.JPG", "/a/DSC_1000.JPG"}), "/a/IMG_0042-2.JPG");
}

TEST(KeepSelectorTest, DatePrefixBeatsLength) {
    EXPECT_EQ(keepOf({"/p/20230115_143022.jpg", "/p/IMG_0042 - Rome at night.jpg"}),
              "/p/20230115_143022.jpg");
    EXPECT_TRUE(KeepSelector::looksRenamed("20230115-x.jpg"));
    EXPECT_TRUE(KeepSelector::looksRenamed("230115_x.jpg"));
    EXPECT_FALSE(KeepSelector::looksRenamed("2023_trip.jpg"));
    EXPECT_FALSE(KeepSelector::looksRenamed("202301150_x.jpg"));
}

TEST(KeepSelectorTest, LongerNameThenLongerPathThenSmallerText) {
    EXPECT_EQ(keepOf({"/p/Beach at sunset.jpg", "/p/IMG_0042.jpg"}), "/p/Beach at sunset.jpg");
    EXPECT_EQ(keepOf({"/Photos/2023/Rome/IMG_0042.JPG", "/Import/IMG_0042.JPG"}),
              "/Photos/2023/Rome/IMG_0042.JPG");
    EXPECT_EQ(keepOf({"/a/x.jpg", "/b/x.jpg"}), "/a/x.jpg");
}

TEST(KeepSelectorTest, LengthsCountUserPerceivedCharacters) {
    // "e" and a combining accent are one character: the decomposed name has 8 characters in 10
    // bytes, so the 9-character name is longer.
    EXPECT_EQ(keepOf({"/a/cafe\xCC\x81.jpg", "/a/cafes.jpg"}), "/a/cafes.jpg");
}

TEST(KeepSelectorTest, AllCopyLikeFallsThroughToLaterRules) {
    EXPECT_EQ(keepOf({"/a/x copy.jpg", "/a/x (1).jpg"}), "/a/x copy.jpg");
    EXPECT_TRUE(KeepSelector::looksLikeCopy("IMG_0042-Copie_2.jpg"));
    EXPECT_TRUE(KeepSelector::looksLikeCopy("IMG_0042(3).jpg"));
    EXPECT_FALSE(KeepSelector::looksLikeCopy("IMG_0042 123.jpg"));
    EXPECT_FALSE(KeepSelector::looksLikeCopy("copy.jpg"));
}

TEST(KeepSelectorTest, SinglePathIsKept) {
    EXPECT_EQ(KeepSelector::chooseKeep({"/only.jpg"}), "/only.jpg");
}
