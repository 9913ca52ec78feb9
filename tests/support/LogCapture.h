#pragma once
// Collects what the program logs while the scope lasts, so a test can say that a failure was
// reported, and that nothing is reported while everything works.

#include <QMessageLogContext>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace testsupport {

class TLogCapture {
public:
    TLogCapture() {
        Current() = this;
        previous_ = qInstallMessageHandler(&TLogCapture::Handle);
    }
    ~TLogCapture() {
        qInstallMessageHandler(previous_);
        Current() = nullptr;
    }
    TLogCapture(const TLogCapture&) = delete;
    TLogCapture& operator=(const TLogCapture&) = delete;

    // "category: message" for every message of the program's own categories.
    QStringList Lines;

private:
    static TLogCapture*& Current() {
        static TLogCapture* current = nullptr;
        return current;
    }
    static void Handle(QtMsgType, const QMessageLogContext& context, const QString& message) {
        const QString category = QString::fromLatin1(context.category ? context.category : "");
        if (Current() != nullptr && category.startsWith(QStringLiteral("tarvenik.")))
            Current()->Lines.append(category + QStringLiteral(": ") + message);
    }

    QtMessageHandler previous_ = nullptr;
};

} // namespace testsupport
