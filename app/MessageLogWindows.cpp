#include "app/MessageFile.h"
#include "app/MessageLog.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <memory>

namespace messages {

namespace {

// Lives to the end of the program: messages may come from any thread until then.
std::unique_ptr<TMessageFile>& File() {
    static std::unique_ptr<TMessageFile> file;
    return file;
}

void WriteMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    File()->Append(qFormatLogMessage(type, context, message));
}

} // namespace

// %LOCALAPPDATA% is the first of the generic data locations on Windows.
QString RouteMessages() {
    const QString local = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (local.isEmpty())
        return {};
    File() =
        std::make_unique<TMessageFile>(MessageFilePath(local, QCoreApplication::applicationName()));
    qInstallMessageHandler(WriteMessage);
    return File()->Path();
}

} // namespace messages
