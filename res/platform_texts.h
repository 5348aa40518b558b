// Texts shown by the platform layer.
#pragma once

namespace texts {

// FileMap failures; %d is the Windows error number matching the system error.
inline constexpr const char kOpenFileFailed[] = "OpenFile 失败。%d";
inline constexpr const char kCreateFileMappingFailed[] = "CreateFileMapping 失败。%d";
inline constexpr const char kMapViewOfFileFailed[] = "MapViewOfFile 失败。%d";

// An export could not replace its destination ("%s": the system's reason, then the path).
inline constexpr const char kReplaceFailed[] = "无法替换文件。 %s - %s";

// Kinds of files in Qt's file dialogs that its own Chinese translation leaves in English
// (source text, Chinese text).
inline constexpr const char* kFileKinds[][2] = {{"Folder", "文件夹"},     {"File", "文件"},
                                                {"%1 File", "%1 文件"},   {"Drive", "驱动器"},
                                                {"Shortcut", "快捷方式"}, {"Unknown", "未知"}};

}  // namespace texts
