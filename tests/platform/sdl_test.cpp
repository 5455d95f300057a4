#include <gtest/gtest.h>

#include "platform/sdl/keys.h"
#include "platform/sdl/presentation.h"
#include "platform/sdl/tick_clock.h"

namespace {

void ExpectRect(SDL_Rect r, int x, int y, int w, int h) {
    EXPECT_EQ(r.x, x);
    EXPECT_EQ(r.y, y);
    EXPECT_EQ(r.w, w);
    EXPECT_EQ(r.h, h);
}

TEST(Presentation, WholeMultiplesCentredWithBars) {
    ExpectRect(PresentationRect(1024, 768, 512, 384), 0, 0, 1024, 768);
    ExpectRect(PresentationRect(1920, 1080, 512, 384), (1920 - 1024) / 2, (1080 - 768) / 2, 1024,
               768);
    ExpectRect(PresentationRect(2560, 1440, 512, 384), 512, 144, 1536, 1152);
    ExpectRect(PresentationRect(512, 384, 512, 384), 0, 0, 512, 384);
    ExpectRect(PresentationRect(1535, 1151, 512, 384), (1535 - 1024) / 2, (1151 - 768) / 2, 1024,
               768);
}

TEST(Presentation, SmallerOutputsShrinkWithTheAspectKept) {
    ExpectRect(PresentationRect(400, 400, 512, 384), 0, 50, 400, 300);
    ExpectRect(PresentationRect(800, 300, 512, 384), 200, 0, 400, 300);
    ExpectRect(PresentationRect(0, 300, 512, 384), 0, 0, 0, 0);
}

TEST(Keys, TheTableKeysGetTheirVirtualKeyCodes) {
    EXPECT_EQ(VirtualKeyFor(SDLK_ESCAPE), 27u);
    EXPECT_EQ(VirtualKeyFor(SDLK_LEFT), 37u);
    EXPECT_EQ(VirtualKeyFor(SDLK_UP), 38u);
    EXPECT_EQ(VirtualKeyFor(SDLK_RIGHT), 39u);
    EXPECT_EQ(VirtualKeyFor(SDLK_DOWN), 40u);
    EXPECT_EQ(VirtualKeyFor(SDLK_INSERT), 45u);
    EXPECT_EQ(VirtualKeyFor(SDLK_DELETE), 46u);
    EXPECT_EQ(VirtualKeyFor(SDLK_a), WPARAM('A'));
    EXPECT_EQ(VirtualKeyFor(SDLK_9), WPARAM('9'));
    EXPECT_EQ(VirtualKeyFor(SDLK_F12), VK_F1 + 11);
    EXPECT_EQ(VirtualKeyFor(SDLK_KP_PERIOD), 0u);
}

TEST(Ticks, AtMostOnePendingAndNoneMadeUp) {
    TickClock clock;
    EXPECT_FALSE(TakeTick(clock, 1000));
    EXPECT_EQ(MillisUntilTick(clock, 1000), -1);

    StartTicks(clock, 1000, 20);
    EXPECT_FALSE(TakeTick(clock, 1000));
    EXPECT_EQ(MillisUntilTick(clock, 1005), 15);
    EXPECT_FALSE(TakeTick(clock, 1019));
    EXPECT_TRUE(TakeTick(clock, 1020));
    EXPECT_FALSE(TakeTick(clock, 1021));
    // A frame that took 75 ms: the ticks that fell due meanwhile give one, not three.
    EXPECT_EQ(MillisUntilTick(clock, 1095), 0);
    EXPECT_TRUE(TakeTick(clock, 1095));
    EXPECT_FALSE(TakeTick(clock, 1096));
    EXPECT_EQ(MillisUntilTick(clock, 1096), 4);
    EXPECT_TRUE(TakeTick(clock, 1100));

    StopTicks(clock);
    EXPECT_FALSE(TakeTick(clock, 5000));
    EXPECT_EQ(MillisUntilTick(clock, 5000), -1);
}

} // namespace
