#pragma once
// Tests against the virtual unit: the binary sits beside the virtual
// modules, so the controller loads them, and the test steers the units
// through the control exports of the same libsetupsvc.so.

#include "HidTestSupport.h"

#include "tests/support/VirtualUnit.h"

#include <gtest/gtest.h>

#include <memory>

class VirtualUnitTest : public ::testing::Test {
protected:
    static virtualunit::VirtualUnitControl& Unit() { return testsupport::VirtualUnit(); }

    void SetUp() override {
        ASSERT_TRUE(Unit().complete()) << "virtual unit modules not beside the test binary";
        Unit().Reset();
    }

    // A controller with every event recorded, after its first scan; the
    // record starts empty.
    std::unique_ptr<THidDeviceController> MakeController() {
        auto controller = std::make_unique<THidDeviceController>(nullptr);
        Recorder.Attach(*controller);
        controller->SetOnDeviceChange(TNotifyEvent(&Recorder, &hidtest::TEventRecorder::Change));
        hidtest::DeliverPosted();
        Recorder.Events.clear();
        return controller;
    }

    // Plugs or unplugs a unit, then runs the event loop until the rescan of
    // its notification has reported the change.
    void PlugAndRescan(int unit) {
        const int before = Recorder.Changes;
        ASSERT_EQ(Unit().Plug(unit), 0);
        ASSERT_TRUE(hidtest::PumpUntil([&] { return Recorder.Changes > before; }));
    }
    void UnplugAndRescan(int unit) {
        const int before = Recorder.Changes;
        ASSERT_EQ(Unit().Unplug(unit), 0);
        ASSERT_TRUE(hidtest::PumpUntil([&] { return Recorder.Changes > before; }));
    }

    hidtest::TEventRecorder Recorder;
};
