#pragma once
// The base of every picture kind (bitmaps, JPEG images): size, the empty
// test, assignment from another picture, change notification and the
// progress event that long operations such as compression report through.

#include "framework/BoundEvent.h"

#include <QRect>
#include <QString>
#include <cstdint>

namespace framework {

enum TProgressStage { psStarting, psRunning, psEnding };

// Sender, Stage, PercentDone, RedrawNow, R (the area that changed), Msg.
using TProgressEvent =
    TBoundEvent<void(void* Sender, TProgressStage Stage, std::uint8_t PercentDone, bool RedrawNow,
                     const QRect& R, const QString& Msg)>;

class TGraphic {
public:
    virtual ~TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;

    // The class name as errors show it, e.g. "TBitmap".
    virtual QString ClassName() const = 0;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int value) = 0;
    virtual void SetHeight(int value) = 0;
    virtual bool Empty() const = 0;

    // Takes the state of Source. A kind that cannot take Source's state
    // refuses it with EConvertError, which is what this default does.
    virtual void AssignFrom(const TGraphic& Source);

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

    void Changed() { OnChange(this); }
    void Progress(TProgressStage Stage, std::uint8_t PercentDone, bool RedrawNow, const QRect& R,
                  const QString& Msg) {
        OnProgress(this, Stage, PercentDone, RedrawNow, R, Msg);
    }

protected:
    TGraphic() = default;
    [[noreturn]] void AssignError(const TGraphic& Source) const;
};

} // namespace framework
