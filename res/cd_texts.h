// Texts shown by the CD layer: the track source, its track file and reader, the disc lookup.
#pragma once

namespace texts {

// The track source; %s is a cause text below.
inline constexpr const char kCdSystemInfoFailed[] = "无法获取系统信息！！！";
inline constexpr const char kCdPlatformUnsupported[] = "这个平台不支持抓取 CD 音轨功能！！！";
inline constexpr const char kCdOpenTrackFile[] = "无法打开文件，因为 %s。";
inline constexpr const char kCdReadTrackFile[] = "无法搜索/读取文件，因为 %s。";
inline constexpr const char kCdOpenDriveFailed[] = "打开 CD 驱动器失败。";
// %d is the Windows error number that matches the failure.
inline constexpr const char kCdRawReadFailed[] = "DeviceIoControl 调用失败， LastError = %d.";
inline constexpr const char kCdNullTarget[] = "TargetMusic 为 NULL.";
inline constexpr const char kCdWriteSamplesFailed[] = "写入采样失败。";

// Causes inserted into the track-file messages.
inline constexpr const char kCdCauseNotFound[] = "文件不存在";
inline constexpr const char kCdCauseAccessDenied[] = "没有访问它的权限";
inline constexpr const char kCdCauseIsFolder[] = "它是一个文件夹";
inline constexpr const char kCdCauseNoDisc[] = "驱动器中没有可读的光盘";
inline constexpr const char kCdCauseBadToc[] = "光盘的目录无效";
inline constexpr const char kCdCauseTooShort[] = "文件太短";
inline constexpr const char kCdCauseIoError[] = "读取时发生输入/输出错误";
inline constexpr const char kCdCauseOther[] = "系统错误 %d";

// The disc lookup; the query failure's %s is the server's last reply.
inline constexpr const char kCddbDiscIdFailed[] = "计算磁盘 ID 失败。";
inline constexpr const char kCddbTocFailed[] = "获取音轨位置失败。";
inline constexpr const char kCddbQueryFailed[] = "联网向 CDDB 询问信息失败(需要网络连接)！ - %s";
inline constexpr const char kCddbNoResult[] = "CDDB 结果为 0。";
inline constexpr const char kCddbReadFailed[] = "CDDB 读取失败。";
// User or host name that cannot be found.
inline constexpr const char kCddbUnknownName[] = "未知";

}  // namespace texts
