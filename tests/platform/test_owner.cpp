// The owner template and the scope guard, over a fake handle kind whose
// releases are counted.
#include "platform/uCom.h"
#include "platform/uOwner.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

std::vector<int> GClosed;

struct TFakeTraits {
    using TValue = int;
    static constexpr int Invalid() noexcept { return 0; }
    static void Close(int value) noexcept { GClosed.push_back(value); }
};
using TFake = platform::TOwner<TFakeTraits>;

// Two values own nothing; the release needs the "context" it came from.
struct TContextTraits {
    int Context = 0;
    using TValue = int;
    static constexpr int Invalid() noexcept { return 0; }
    static bool IsValid(int value) noexcept { return value > 0; }
    void Close(int value) const noexcept { GClosed.push_back(Context * 100 + value); }
};
using TInContext = platform::TOwner<TContextTraits>;

class OwnerTest : public ::testing::Test {
protected:
    void SetUp() override { GClosed.clear(); }
};

TEST_F(OwnerTest, EveryValueIsClosedExactlyOnceWhateverPathItTakes)
{
    {
        TFake empty;
        EXPECT_FALSE(empty);
        TFake a(1);
        TFake b(std::move(a)); // moved: only b closes
        EXPECT_FALSE(a);
        EXPECT_EQ(b.Get(), 1);
        TFake c(2);
        c = std::move(b); // 2 closes now, 1 moves on
        EXPECT_EQ(GClosed, std::vector<int>({2}));
        TFake& same = c;
        c = std::move(same); // a self-move keeps the value
        EXPECT_EQ(c.Get(), 1);
        TFake d(3);
        EXPECT_EQ(d.Release(), 3); // given up: never closed here
        d.Reset(4);
        d.Reset(5); // 4 closes
        *d.Receive() = 6; // 5 closes before the out-parameter is written
        EXPECT_EQ(GClosed, std::vector<int>({2, 4, 5}));
    }
    EXPECT_EQ(GClosed, std::vector<int>({2, 4, 5, 6, 1}));
    static_assert(!std::is_copy_constructible_v<TFake> && !std::is_copy_assignable_v<TFake>);
    static_assert(std::is_nothrow_move_constructible_v<TFake> && std::is_nothrow_move_assignable_v<TFake>);
}

TEST_F(OwnerTest, StatefulTraitsTravelWithTheirValueAndCustomValidityHolds)
{
    {
        TInContext bad(-1, TContextTraits{7}); // an error value owns nothing
        EXPECT_FALSE(bad);
        TInContext first(2, TContextTraits{7});
        TInContext second(3, TContextTraits{8});
        second = std::move(first); // 8/3 closes in its own context; 7/2 moves
        EXPECT_EQ(second.GetTraits().Context, 7);
        second.Reset(4, TContextTraits{9}); // 7/2 closes
    }
    EXPECT_EQ(GClosed, std::vector<int>({803, 702, 904}));
}

TEST_F(OwnerTest, ScopeGuardRunsOnReturnAndOnThrowButNotWhenDismissed)
{
    int runs = 0;
    {
        platform::TScopeGuard guard([&] { ++runs; });
    }
    EXPECT_EQ(runs, 1);
    try {
        platform::TScopeGuard guard([&] { ++runs; });
        throw std::runtime_error("half-way");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(runs, 2);
    {
        platform::TScopeGuard guard([&] { ++runs; });
        guard.Dismiss();
    }
    EXPECT_EQ(runs, 2);
}

struct TFakeInterface {
    int References = 1;
    int Calls = 0;
    unsigned long Release() { return static_cast<unsigned long>(--References); }
    void Call() { ++Calls; }
};

TEST_F(OwnerTest, ComPointerReleasesItsOneReferenceAndReceivesOutParameters)
{
    TFakeInterface first, second;
    {
        platform::TComPtr<TFakeInterface> p;
        *p.Receive() = &first;
        p->Call();
        EXPECT_EQ(first.Calls, 1);
        void** out = p.ReceiveVoid(); // the creating call's out-parameter: first is let go
        EXPECT_EQ(first.References, 0);
        *out = &second;
        platform::TComPtr<TFakeInterface> moved(std::move(p));
        EXPECT_EQ(second.References, 1);
    }
    EXPECT_EQ(second.References, 0);
}

} // namespace
