#pragma once
// Advice that names things of the system the program runs on: where its manual is, how to start
// its demo copy, why a unit that can be seen may refuse to open. One file per system, so that a
// Windows user is never sent to a man page or a udev rule.

#include <QString>

namespace framework {

// Where the manual of `program` ("tarvenik" or "tarvenik-cli") is, as a help text ends with it.
QString ManualPlace(const QString& program);
// How to start `program` beside a virtual unit instead of hardware.
QString DemoPlace(const QString& program);
// The likely cause when a unit can be seen but not opened for reading and writing, as a question
// for a log line.
QString AccessQuestion();

} // namespace framework
