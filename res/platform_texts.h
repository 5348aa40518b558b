// Texts shown by the platform layer.
#pragma once

namespace texts {

// FileMap failures; %d is the Windows error number matching the system error.
inline constexpr const char kOpenFileFailed[] = "OpenFile 失败。%d";
inline constexpr const char kCreateFileMappingFailed[] = "CreateFileMapping 失败。%d";
inline constexpr const char kMapViewOfFileFailed[] = "MapViewOfFile 失败。%d";

}  // namespace texts
