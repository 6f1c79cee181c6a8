// A side's own video controls: the time text, the play button driving its player, and a view
// whose player has gone.
#include "views/PlayerView.h"

#include <QMediaPlayer>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace quillmere;

TEST(PlayerViewTest, TimeTextIsMinutesAndSeconds) {
    EXPECT_EQ(PlayerView::timeText(0, 0), "0:00 / 0:00");
    EXPECT_EQ(PlayerView::timeText(65'000, 130'000), "1:05 / 2:10");
    // Rounded to the nearest second; minutes go past sixty rather than into hours.
    EXPECT_EQ(PlayerView::timeText(1'499, 3'725'600), "0:01 / 62:06");
}

TEST(PlayerViewTest, PlayButtonShowsWhatItWillDo) {
    QMediaPlayer player;
    PlayerView view(&player);
    view.show();
    EXPECT_TRUE(view.isEnabled());
    EXPECT_EQ(view.playButton()->toolTip(), "Play");
    EXPECT_EQ(view.player(), &player);
}

TEST(PlayerViewTest, ControlsAreOffWithoutAPlayer) {
    auto* player = new QMediaPlayer;
    PlayerView view(player);
    delete player;
    EXPECT_EQ(view.player(), nullptr);
    PlayerView empty(nullptr);
    EXPECT_FALSE(empty.isEnabled());
    // Clicking a view whose player went away does nothing.
    QTest::mouseClick(view.playButton(), Qt::LeftButton);
}
