#pragma once
// A write to a pipe whose reader has gone raises SIGPIPE, one past the file size limit SIGXFSZ;
// either ends a program at once, with a record cut and no word of why. Ignored, both become a
// failed write (EPIPE, EFBIG) that the program reports with the system's reason and survives.

namespace unit {

// Called once at start-up by each program, before it writes anything.
void IgnoreOutputSignals();

// Standard output and error take the program's bytes as they are. On Windows the C library would
// otherwise write each "\n" as "\r\n", and so a CSV record's "\r\n" as "\r\r\n".
void KeepOutputBytes();

} // namespace unit
