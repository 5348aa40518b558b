// Texts shown by the platform layer.
#pragma once

namespace texts {

// FileMap failures; %d is the Windows error number matching the system error.
inline constexpr const char kOpenFileFailed[] = "OpenFile 失败。%d";
inline constexpr const char kCreateFileMappingFailed[] = "CreateFileMapping 失败。%d";
inline constexpr const char kMapViewOfFileFailed[] = "MapViewOfFile 失败。%d";

// An export could not replace its destination ("%s": the system's reason, then the path).
inline constexpr const char kReplaceFailed[] = "无法替换文件。 %s - %s";

}  // namespace texts
