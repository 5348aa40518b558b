// Texts shown by the Ogg Vorbis codec.
#pragma once

namespace texts {

// Opening a file for reading.
inline constexpr const char kOggCannotAccess[] = "无法存取这个文件。";
inline constexpr const char kOggOpenReadError[] = "ov_open 调用失败，从媒体读取返回一个错误。";
inline constexpr const char kOggOpenInternalFault[] =
    "ov_open 调用失败，内部逻辑错误； 表明有 bug 或堆栈损坏。";
inline constexpr const char kOggOpenNotVorbis[] = "ov_open 调用失败，比特流不是 Vorbis 数据。";
inline constexpr const char kOggOpenBadHeader[] = "ov_open 调用失败，无效 Vorbis 比特流头部。";
inline constexpr const char kOggOpenVersion[] = "ov_open 调用失败， Vorbis 版本不匹配。";
inline constexpr const char kOggOpenUnknown[] = "ov_open 调用失败，未知错误。";
inline constexpr const char kOggNoInfo[] = "ov_info 调用失败。";
inline constexpr const char kOggNoComments[] = "无法获得注释。";

// Writing.
inline constexpr const char kOggEncodeInit[] = "初始 ogg 编码失败。";
inline constexpr const char kOggAnalysisInit[] = "vrobis 分析初始失败。";
inline constexpr const char kOggBlockInit[] = "vorbis 区块初始失败。";
inline constexpr const char kOggStreamInit[] = "ogg 流体初始失败。";
inline constexpr const char kOggHeaderOut[] = "vorbis 分析 headerout 失败。";
inline constexpr const char kOggPacketIn1[] = "ogg 流体打包失败。 #1";
inline constexpr const char kOggPacketIn2[] = "ogg 流体打包失败。 #2";
inline constexpr const char kOggPacketIn3[] = "ogg 流体打包失败。 #3";
inline constexpr const char kOggCannotCreate[] = "无法打开文件来写入。";
inline constexpr const char kOggWritePageHeader[] = "写入头部失败。";
inline constexpr const char kOggWritePageBody[] = "写入主体失败。";
inline constexpr const char kOggWriteFailed[] = "写入 Ogg 失败。";

}  // namespace texts
