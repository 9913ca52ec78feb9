#pragma once
// Where the panel's messages (its logging categories, Qt's own warnings) go, one file per system:
// - Linux: the standard error output, Qt's default; nothing to do.
// - Windows: a window program has no console, so they go, formatted as Qt formats them for the
//   console, to <application name>.log in Tarvenik under the user's local application data
//   (%LOCALAPPDATA%\Tarvenik\tarvenik.log), bounded by MessageFile.h.

#include <QString>

namespace messages {

// Call once the application is named (desktop::Identify). Returns the file the messages go to,
// or an empty string where they stay on stderr.
QString RouteMessages();

} // namespace messages
