// Texts of opening a file, the progress dialog and the split-now dialog.
#pragma once

namespace texts {

// Opening a file ("%s" = the full path).
inline constexpr const char kUnknownFileType[] = "未知文件类型！ - %s";
// The temporary cache file could not be created ("%s" = the folder).
inline constexpr const char kCannotCreateCache[] = "无法创建临时文件！ - %s";
inline constexpr const char kTitleWithPath[] = "%s - %s";

// Progress dialog (template 130).
inline constexpr const char kLoadCaption[] = "正载入 ...";
inline constexpr const char kSplitCaption[] = "正分割 ...";
inline constexpr const char kLoadCancelButton[] = "取消(&C)";
inline constexpr const char kCannotWriteCda[] = "无法写入为 cda 格式！！！";
inline constexpr const char kPercentFormat[] = "%d.%d%%";
inline constexpr const char kTimeFormat[] = "用时 %02d:%02d:%02d, 估计时间 %02d:%02d:%02d";
inline constexpr const char kCancelLoadQuestion[] = "取消载入吗？";
inline constexpr const char kCancelSplitQuestion[] = "取消分割吗？";

// Split-now dialog (template 135).
inline constexpr const char kExportCaption[] = "立即分割 ...";
inline constexpr const char kExportTypeLabel[] = "音乐类型：";
inline constexpr const char kExportBitrateLabel[] = "音乐比特率：";
inline constexpr const char kExportUnselected[] = "导出未选片断";
inline constexpr const char kExportFadeIn[] = "开头淡入";
inline constexpr const char kExportFadeOut[] = "结尾淡出";
inline constexpr const char kExportSeconds[] = "秒";
inline constexpr const char kExportCancel[] = "取消";
inline constexpr const char kFadeInNotPositive[] = "淡入的秒必须为正数。";
inline constexpr const char kFadeOutNotNumber[] = "淡出的秒必须为数字。";

// Save dialog of the export ("%s" = the format name).
inline constexpr const char kSaveFilterFormat[] = "%s 文件 (*.%s)";
inline constexpr const char kCannotOverwriteOpened[] = "不能覆盖正在编辑的文件。";
// The chosen export format has no writer in this build ("%s" = the format name).
inline constexpr const char kCannotWriteFormat[] = "无法写入为 %s 格式！！！";

}  // namespace texts
