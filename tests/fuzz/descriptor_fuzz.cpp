// Report descriptors and device strings come from devices: any bytes at all
// must parse without a crash or a read past the input, and what comes out
// must be consistent.

#include "platform/hidraw/PreparsedData.h"
#include "platform/hidraw/ReportDescriptor.h"
#include "platform/hidraw/WideStrings.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly `size` bytes, so the sanitizer sees any read beyond it.
    const std::vector<uint8_t> bytes(data, data + size);
    const auto summary = hidmodules::parseReportDescriptor(std::span(bytes));
    const auto again = hidmodules::parseReportDescriptor(std::span(bytes));
    if (summary.valid != again.valid ||
        summary.caps.FeatureReportByteLength != again.caps.FeatureReportByteLength)
        std::abort();
    if (summary.valid && summary.caps.InputReportByteLength == 1)
        std::abort(); // a report kind present has at least one data byte besides the id

    PHIDP_PREPARSED_DATA preparsed = hidmodules::createPreparsedData(summary);
    HIDP_CAPS caps{};
    const NTSTATUS status = hidmodules::capsFromPreparsedData(preparsed, &caps);
    if ((status == HIDP_STATUS_SUCCESS) != summary.valid)
        std::abort();
    if (!hidmodules::freePreparsedData(preparsed))
        std::abort();

    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::u16string wide = hidmodules::utf8ToUtf16(text);
    if (wide.size() > text.size())
        std::abort(); // never more UTF-16 units than UTF-8 bytes
    std::vector<uint8_t> buffer(size % 64 + 2);
    hidmodules::copyWideString(wide, buffer.data(), static_cast<ULONG>(buffer.size()));
    return 0;
}
