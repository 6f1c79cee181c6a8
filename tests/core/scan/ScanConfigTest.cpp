// Scan configuration, media kinds and skip rules.
#include "scan/ScanConfig.h"

#include "scan/MediaKind.h"
#include "scan/SkipRules.h"

#include <gtest/gtest.h>

using namespace quillmere;

TEST(MediaKindTest, ExtensionsAreComparedLowerCased) {
    EXPECT_EQ(MediaKinds::fromPath("/a/IMG_0001.JPG"), MediaKind::photo);
    EXPECT_EQ(MediaKinds::fromPath("clip.MoV"), MediaKind::video);
    EXPECT_EQ(MediaKinds::fromPath(".hidden.jpg"), MediaKind::photo);
    EXPECT_EQ(MediaKinds::fromExtension("M2TS"), MediaKind::video);
    EXPECT_EQ(MediaKinds::fromPath("noextension"), std::nullopt);
    EXPECT_EQ(MediaKinds::fromPath("holiday.jpg.zip"), std::nullopt);
    EXPECT_EQ(MediaKinds::fromPath("/a.jpg/file"), std::nullopt);
}

TEST(MediaKindTest, RawValuesAreExact) {
    EXPECT_EQ(MediaKinds::rawValue(MediaKind::photo), "photo");
    EXPECT_EQ(MediaKinds::rawValue(MediaKind::video), "video");
    EXPECT_EQ(MediaKinds::fromRawValue("video"), MediaKind::video);
    EXPECT_EQ(MediaKinds::fromRawValue("Photo"), std::nullopt);
}

TEST(SkipRulesTest, PrunesSystemToolingHiddenAndLibraryFolders) {
    for (const char* name :
         {"_duplicates_review", ".Trashes", "System Volume Information", "node_modules",
          "__pycache__", ".git", ".cache", "Family.PhotosLibrary", "Old Library.migratedaplibrary",
          "x.lrlibrary"})
        EXPECT_TRUE(SkipRules::shouldPrune(name)) << name;
    for (const char* name : {".", "..", "Node_Modules", "system volume information",
                             "Library.aplibrarybackup", "Photos", "_duplicates_review2"})
        EXPECT_FALSE(SkipRules::shouldPrune(name)) << name;
}

TEST(SkipRulesTest, SkipsOnlyMetadataCompanionFiles) {
    EXPECT_TRUE(SkipRules::shouldSkip("._IMG_0001.JPG"));
    EXPECT_FALSE(SkipRules::shouldSkip(".hidden.jpg"));
    EXPECT_FALSE(SkipRules::shouldSkip("_IMG.jpg"));
}

TEST(ScanConfigTest, ScanRootsAppendEveryIncludeToEveryRoot) {
    EXPECT_EQ((ScanConfig{{"/A", "/B"}, {}}).scanRoots(), (std::vector<std::string>{"/A", "/B"}));
    EXPECT_EQ((ScanConfig{{"/A", "/B"}, {"Photos", "Video"}}).scanRoots(),
              (std::vector<std::string>{"/A/Photos", "/A/Video", "/B/Photos", "/B/Video"}));
    EXPECT_EQ((ScanConfig{{"/A"}, {"x/y", "x/y"}}).scanRoots(),
              (std::vector<std::string>{"/A/x/y", "/A/x/y"}));
    EXPECT_TRUE((ScanConfig{{}, {"Photos"}}).scanRoots().empty());
}
