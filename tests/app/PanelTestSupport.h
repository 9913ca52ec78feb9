#pragma once
// Shared by the panel tests that run against the virtual unit: the binary sits beside the virtual
// modules, so the window's controller loads them and the test steers the units through the
// control exports of the same module.

#include "app/DataBlock.h"
#include "app/Unit1.h"
#include "hid/HidControllerClass.h"
#include "tests/support/EventLoop.h"
#include "tests/support/VirtualUnit.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

namespace paneltest {

using testsupport::DeliverPosted;
using testsupport::ExchangeLog;

inline virtualunit::VirtualUnitControl& Unit() {
    return testsupport::VirtualUnit();
}

// A block with the unit's usual settings: scale byte 64, everything else 0.
inline TDataBlock QuietBlock() {
    TDataBlock b{};
    b[block::kScaleByte] = 64;
    return b;
}

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Unit().complete()) << "virtual unit modules not beside the test binary";
        Unit().Reset();
        DeliverPosted(); // nothing of an earlier test may be pending
        QLocale::setDefault(QLocale::c());
        form = std::make_unique<TTarvenik_Control_Form>();
        DeliverPosted(); // the controller's first scan
        Unit().ClearLog();
    }
    void TearDown() override {
        form.reset();
        QLocale::setDefault(QLocale::c());
        Unit().Reset();
    }

    void SetFixedBlock(const TDataBlock& b) { Unit().SetFixedBlock(0, b.data()); }

    // Runs the event loop until every request asked of the unit has been answered and the answer
    // applied: the exchange thread is real, so this waits for it, never for a timer.
    void Settle() {
        ASSERT_TRUE(testsupport::PumpUntil([&] { return !form->UnitBusy(); }));
    }

    // Ticks the connect box, which reads the parameters back from the unit.
    void Connect() {
        form->CheckBox1->setChecked(true);
        Settle();
        Unit().ClearLog();
    }
    // One poll, as the timer would run it, with its answer applied.
    void Poll() {
        form->TimerTimer(form->Timer);
        Settle();
    }

    // Unplugs or plugs a unit and lets the controller rescan at once.
    void UnplugNow(int unit) {
        ASSERT_EQ(Unit().Unplug(unit), 0);
        form->HidDeviceController->DeviceChange();
    }
    void PlugNow(int unit) {
        ASSERT_EQ(Unit().Plug(unit), 0);
        form->HidDeviceController->DeviceChange();
    }

    // The window's watch over a long request gives up on the one running, as its clock says it
    // has waited long enough: the unit keeps it waiting, as the Windows HID stack lets it.
    void GiveUpOnTheRunningRequest() {
        unit::TUnitExchange& exchange = form->Session().Exchange();
        exchange.Clock = [this] { return now; };
        exchange.CheckDeadline(); // sees it running
        now += unit::TUnitExchange::kNoAnswerAfter;
        exchange.CheckDeadline();
    }

    // Until the unit has answered the request given up on that it held: nothing else is sent to
    // it before.
    void WaitUntilFree() {
        ASSERT_TRUE(testsupport::PumpUntil([&] { return !form->Session().Exchange().Stalled(); }));
    }

    std::unique_ptr<TTarvenik_Control_Form> form;
    std::chrono::steady_clock::time_point now{}; // the watch's clock, once given up with
};

} // namespace paneltest
