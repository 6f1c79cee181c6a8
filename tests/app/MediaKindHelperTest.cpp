// Which files the app treats as videos.
#include "model/MediaKindHelper.h"

#include <QString>
#include <gtest/gtest.h>

using namespace quillmere;

TEST(MediaKindHelperTest, ThirteenVideoExtensionsInAnyCase) {
    ASSERT_EQ(MediaKindHelper::videoExtensions.size(), 13u);
    for (const std::string_view extension : MediaKindHelper::videoExtensions) {
        const QString name = "clip." + QString::fromLatin1(extension.data(), extension.size());
        EXPECT_TRUE(MediaKindHelper::isVideo("/Videos/" + name)) << name.toStdString();
        EXPECT_TRUE(MediaKindHelper::isVideo("/Videos/" + name.toUpper())) << name.toStdString();
    }
}

TEST(MediaKindHelperTest, EverythingElseIsAPhoto) {
    for (const char* path : {"/Photos/a.jpg", "/Photos/photo.jpeg.tmp", "/Photos/movie",
                             "/Videos/clip.mov.zip", "/Videos/trip.mov/cover", "/Photos/notes.txt"})
        EXPECT_FALSE(MediaKindHelper::isVideo(path)) << path;
}
