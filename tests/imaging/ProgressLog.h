#pragma once
// Records the progress events of an image, and can answer one with an
// exception, as a handler that cancels would.

#include "framework/Graphic.h"

#include <QRect>
#include <QString>
#include <functional>
#include <vector>

namespace testing_jpeg {

struct ProgressEntry {
    framework::TProgressStage stage;
    int percent;
    bool redrawNow;
    QRect rect;
    QString message;
};

struct ProgressLog {
    std::vector<ProgressEntry> entries;
    std::function<void(const ProgressEntry&)> reaction;

    void Handle(void*, framework::TProgressStage stage, std::uint8_t percent, bool redraw,
                const QRect& rect, const QString& message) {
        entries.push_back({stage, percent, redraw, rect, message});
        if (reaction)
            reaction(entries.back());
    }
    void Attach(framework::TGraphic& graphic) {
        graphic.OnProgress = framework::TProgressEvent(this, &ProgressLog::Handle);
    }
    int Count(framework::TProgressStage stage) const {
        int count = 0;
        for (const auto& e : entries)
            count += e.stage == stage;
        return count;
    }
};

// A clock that moves on by a fixed step at every reading.
struct SteppingClock {
    std::uint32_t now;
    std::uint32_t step;
    int readings = 0;
    std::uint32_t operator()() {
        ++readings;
        now += step;
        return now;
    }
};

} // namespace testing_jpeg
