#pragma once
// Device strings reach the program as UTF-16LE in a buffer it sizes itself.

#include "platform/win32/WinTypes.h"

#include <string>
#include <string_view>

namespace hidmodules {

// Malformed UTF-8 (stray continuation bytes, overlong forms, surrogates,
// truncated sequences) becomes U+FFFD, one per offending byte sequence.
std::u16string utf8ToUtf16(std::string_view utf8);

// Copies as the Windows string calls do: as many whole characters as fit in
// `length` bytes, then a terminating NUL when there is room for one. A longer
// string fills the buffer without a NUL. A buffer smaller than one character
// fails with ERROR_INVALID_USER_BUFFER, a null buffer with
// ERROR_INVALID_PARAMETER.
BOOLEAN copyWideString(const std::u16string& text, PVOID buffer, ULONG length);

} // namespace hidmodules
