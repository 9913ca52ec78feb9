#include "imaging/StreamDestination.h"

#include "framework/Exceptions.h"

#include <jerror.h>
#include <new>

namespace imaging {

namespace {

StreamDestination& DestinationOf(j_compress_ptr Info) {
    return *reinterpret_cast<StreamDestination*>(Info->dest);
}

void InitDestination(j_compress_ptr Info) {
    StreamDestination& destination = DestinationOf(Info);
    destination.Buffer = static_cast<JOCTET*>((*Info->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(Info), JPOOL_IMAGE, kStreamBufferSize * sizeof(JOCTET)));
    destination.pub.next_output_byte = destination.Buffer;
    destination.pub.free_in_buffer = kStreamBufferSize;
}

// Writes count bytes of the buffer to the target. Device exceptions are
// carried back to EncodeContext::Call; a short write is a library error.
void WriteBuffer(j_compress_ptr Info, qint64 count) {
    StreamDestination& destination = DestinationOf(Info);
    EncodeContext& context = EncodeContext::Of(reinterpret_cast<j_common_ptr>(Info));
    qint64 written = -1;
    try {
        written =
            destination.Target->write(reinterpret_cast<const char*>(destination.Buffer), count);
    } catch (const std::bad_alloc&) {
        context.KeepException(std::make_exception_ptr(framework::EStreamError(
            QStringLiteral("Out of memory while expanding memory stream"))));
    } catch (...) {
        context.KeepCurrentException();
    }
    if (context.HasKeptException())
        context.Bail();
    if (written != count)
        ERREXIT(Info, JERR_FILE_WRITE);
}

boolean EmptyOutputBuffer(j_compress_ptr Info) {
    WriteBuffer(Info, kStreamBufferSize);
    StreamDestination& destination = DestinationOf(Info);
    destination.pub.next_output_byte = destination.Buffer;
    destination.pub.free_in_buffer = kStreamBufferSize;
    return TRUE;
}

void TermDestination(j_compress_ptr Info) {
    const qint64 count = kStreamBufferSize - qint64(DestinationOf(Info).pub.free_in_buffer);
    if (count > 0)
        WriteBuffer(Info, count);
}

} // namespace

void AttachStreamDestination(j_compress_ptr Info, QIODevice* Target) {
    if (!Info->dest) {
        Info->dest = static_cast<jpeg_destination_mgr*>((*Info->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(Info), JPOOL_PERMANENT, sizeof(StreamDestination)));
    }
    StreamDestination& destination = DestinationOf(Info);
    destination.pub.init_destination = InitDestination;
    destination.pub.empty_output_buffer = EmptyOutputBuffer;
    destination.pub.term_destination = TermDestination;
    destination.Target = Target;
    destination.Buffer = nullptr;
}

} // namespace imaging
