// The speed floor judges whole stretches of its time: a trickle that beats
// every single receive's time-out is still a stall, a burst is not.
#include "http/uNetSpeedFloor.h"

#include <gtest/gtest.h>

TEST(NetSpeedFloor, FewerBytesThanTheFloorInAStretchIsAStallAndEachStretchIsJudgedAlone)
{
    TNetSpeedFloor floor;
    EXPECT_FALSE(floor.Active());
    floor.Bytes = 100;
    floor.TimeMs = 1000;
    ASSERT_TRUE(floor.Active());
    // No wait outlasts a stretch, so the judgement is never late by more than one.
    EXPECT_EQ(floor.Bound(30000), 1000);
    EXPECT_EQ(floor.Bound(400), 400);
    EXPECT_EQ(floor.Bound(-2), 1000);

    floor.Start(5000);
    floor.Received(60);
    EXPECT_FALSE(floor.Stalled(5999)) << "judged before its stretch was over";
    floor.Received(40);
    EXPECT_FALSE(floor.Stalled(6000)) << "exactly the floor is enough";
    // The next stretch starts empty: 99 bytes in it are a stall.
    floor.Received(99);
    EXPECT_TRUE(floor.Stalled(7000));
    // A stretch that got nothing at all.
    EXPECT_TRUE(floor.Stalled(8500));
    floor.Received(-1); // a wait that ran out counts nothing
    floor.Received(5000);
    EXPECT_FALSE(floor.Stalled(9500));
}
