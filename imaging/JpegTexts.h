#pragma once
// The texts of the JPEG unit.

namespace imaging::texts {

inline constexpr const char* JpegError = "JPEG error #%d";
inline constexpr const char* JpegImageFile = "JPEG Image File";
inline constexpr const char* ChangeJpegSize = "Cannot change the size of a JPEG image";

} // namespace imaging::texts
