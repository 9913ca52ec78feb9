#pragma once
// The compressor's output: collected in a 4096-byte buffer and written to a
// QIODevice piece by piece. A write the device does not take in full is the
// library's error JERR_FILE_WRITE; the destination never suspends.
//
// Needs a compression object made by an EncodeContext: exceptions of the
// device are carried back through it.

#include "imaging/EncodeContext.h"

#include <QIODevice>

namespace imaging {

inline constexpr int kStreamBufferSize = 4096;

struct StreamDestination {
    jpeg_destination_mgr pub; // first, so the library's pointer is ours too
    QIODevice* Target;
    JOCTET* Buffer;
};

// Attaches (or re-targets) the destination of Info. The manager record comes
// from the library's permanent pool the first time. Call inside
// EncodeContext::Call: allocation failures are library errors.
void AttachStreamDestination(j_compress_ptr Info, QIODevice* Target);

} // namespace imaging
