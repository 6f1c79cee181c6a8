// The app's facts: stamped values and their fallbacks, the links and the icon.
#include "views/Info.h"

#include <gtest/gtest.h>

using namespace quillmere;

TEST(InfoTest, MissingValuesFallBack) {
    const Info::Bundle none;
    EXPECT_EQ(Info::version(none), "dev");
    EXPECT_EQ(Info::build(none), QString::fromUtf8("\u2014"));
    EXPECT_FALSE(Info::copyright(none).isEmpty());
    EXPECT_TRUE(Info::copyright(none).contains("Quillmere"));
}

TEST(InfoTest, ThisBuildCarriesTheProjectVersion) {
    // The build system stamps the project's version; an unset build number stays absent.
    const Info::Bundle bundle = Info::bundle();
    ASSERT_TRUE(bundle.shortVersion.has_value());
    EXPECT_TRUE(bundle.shortVersion->contains('.'));
    EXPECT_NE(Info::version(), "dev");
}

TEST(InfoTest, LinksAndIcon) {
    EXPECT_TRUE(Info::website().isValid());
    EXPECT_EQ(Info::website().scheme(), "https");
    EXPECT_TRUE(Info::supportMail().contains('@'));
    const QIcon icon = Info::applicationIcon();
    ASSERT_FALSE(icon.isNull());
    for (const int size : {16, 96, 512}) {
        const QImage image = icon.pixmap(size, size).toImage();
        EXPECT_EQ(image.size(), QSize(size, size));
        // A picture, not an empty square: the middle is painted.
        EXPECT_GT(image.pixelColor(size / 2, size / 2).alpha(), 200);
    }
}
