#pragma once
// Shared pieces of the widget tests: event and beep counters, a locale
// switch, a failing handler, timer and pointer drivers, and ready-made
// fields shaped like the window's.

#include "LocaleScope.h"
#include "framework/BoundEvent.h"
#include "widgets/NumSpin.h"
#include "widgets/NumSpinHooks.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTest>
#include <QTimer>
#include <QTimerEvent>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace widgettest {

struct EventCounter {
    int count = 0;
    void* lastSender = nullptr;
    void Fire(void* sender) {
        ++count;
        lastSender = sender;
    }
    framework::TNotifyEvent Slot() { return framework::TNotifyEvent(this, &EventCounter::Fire); }
};

// A handler that fails.
struct Thrower {
    void Fire(void*) { throw std::runtime_error("handler failed"); }
};

// Counts default beeps for as long as it lives.
class BeepCounter {
public:
    BeepCounter() : saved_(numspin::MessageBeep) {
        numspin::MessageBeep = [this] { ++count; };
    }
    ~BeepCounter() { numspin::MessageBeep = saved_; }
    BeepCounter(const BeepCounter&) = delete;
    BeepCounter& operator=(const BeepCounter&) = delete;
    int count = 0;

private:
    std::function<void()> saved_;
};

// Replaces the reported system version for as long as it lives.
class SystemVersionScope {
public:
    explicit SystemVersionScope(int major) : saved_(numspin::SystemMajorVersion) {
        numspin::SystemMajorVersion = [major] { return major; };
    }
    ~SystemVersionScope() { numspin::SystemMajorVersion = saved_; }
    SystemVersionScope(const SystemVersionScope&) = delete;
    SystemVersionScope& operator=(const SystemVersionScope&) = delete;

private:
    std::function<int()> saved_;
};

inline void SendFocus(QWidget* w, QEvent::Type type, Qt::FocusReason reason = Qt::TabFocusReason) {
    QFocusEvent e(type, reason);
    QApplication::sendEvent(w, &e);
}

// Fires a timer the way its own expiry would, without waiting for it.
inline void Expire(QTimer* timer) {
    ASSERT_NE(timer, nullptr);
    ASSERT_TRUE(timer->isActive());
    QTimerEvent tick(timer->timerId());
    QCoreApplication::sendEvent(timer, &tick);
}

// Brings the pointer into the window and onto `at`, as a user's pointer gets
// there before a press: the widgets under it then know it is over them.
inline void PointTo(QWidget& window, QPoint at) {
    QTest::mouseMove(window.windowHandle(), QPoint(0, 0));
    QTest::mouseMove(window.windowHandle(), at);
}

// Like SpinEdit35: integer, 1 to 255.
inline void MakeByteField(TNumSpinEdit& f, long double minimum = 1) {
    f.SetValueType(vtInteger);
    f.SetMinValue(minimum);
    f.SetMaxValue(255);
    f.SetValue(minimum);
}

// Like SpinEdit36: fixed point, two places, 0.01 to 4 in steps of 0.01.
inline void MakeVoltField(TNumSpinEdit& f) {
    f.SetValueType(vtFloat);
    f.SetDecimal(2);
    f.SetIncrement(0.01L);
    f.SetMinValue(0.01L);
    f.SetMaxValue(4);
    f.SetValue(0.01L);
}

} // namespace widgettest
