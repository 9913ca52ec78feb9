#include "framework/BoundEvent.h"

#include <gtest/gtest.h>

using framework::TBoundEvent;

namespace {

struct Counter {
    int calls = 0;
    int last = 0;
    int add(int v) {
        ++calls;
        last = v;
        return calls;
    }
    int other(int v) { return -v; }
};

struct Derived : Counter {
    virtual ~Derived() = default;
    virtual int twice(int v) { return 2 * v; }
};

} // namespace

TEST(BoundEvent, EmptySlotDoesNothingAndAnswersDefault) {
    TBoundEvent<int(int)> slot;
    EXPECT_FALSE(slot.assigned());
    EXPECT_EQ(slot(5), 0);
    TBoundEvent<void(int)> voidSlot;
    voidSlot(1); // must not crash
}

TEST(BoundEvent, FiresTheBoundObjectsMethod) {
    Counter a, b;
    TBoundEvent<int(int)> slot(&b, &Counter::add);
    EXPECT_TRUE(slot.assigned());
    EXPECT_EQ(slot(7), 1);
    EXPECT_EQ(b.calls, 1);
    EXPECT_EQ(b.last, 7);
    EXPECT_EQ(a.calls, 0);
}

TEST(BoundEvent, EqualityFollowsTheMethodNotTheObject) {
    Counter a, b;
    TBoundEvent<int(int)> onA(&a, &Counter::add), onB(&b, &Counter::add),
        other(&a, &Counter::other);
    EXPECT_TRUE(onA == onB);
    EXPECT_FALSE(onA == other);
    EXPECT_FALSE(onA == TBoundEvent<int(int)>());
    EXPECT_TRUE(TBoundEvent<int(int)>() == TBoundEvent<int(int)>());
}

TEST(BoundEvent, VirtualMethodsDispatchOnTheObject) {
    struct Twice3 : Derived {
        int twice(int v) override { return 3 * v; }
    } d;
    TBoundEvent<int(int)> slot(static_cast<Derived*>(&d), &Derived::twice);
    EXPECT_EQ(slot(5), 15);
}
