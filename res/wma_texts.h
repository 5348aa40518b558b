// Texts shown by the WMA codec.
#pragma once

namespace texts {

// Opening a file with the reader.
inline constexpr const char kWmaToUnicode[] = "转换为 unicode 字串失败。";
inline constexpr const char kWmaOpenTimeout1[] = "打开 wma 文件超时 #1。";
inline constexpr const char kWmaOpenTimeout2[] = "打开 wma 文件超时 #2。";
inline constexpr const char kWmaProtected[] = "目前不支持受 DRM 保护的 WMA 文件。";
inline constexpr const char kWmaOpenUnknown[] = "打开 wma 文件时未知错误发生。";

// Format and length.
inline constexpr const char kWmaCreateReader[] = "无法创建 WMA 读取器。";
inline constexpr const char kWmaHeaderInfo[] = "无法获得 WMA 头部信息接口。";
inline constexpr const char kWmaAttributeCount[] = "无法获得特征数。";
inline constexpr const char kWmaOutputProps[] = "获取媒体属性失败。";
inline constexpr const char kWmaMediaType[] = "获取媒体类型失败。";
inline constexpr const char kWmaTypeMismatch[] = "类型不匹配。";

// Decoding.
inline constexpr const char kWmaAdvanced[] = "无法获取高级接口。";
inline constexpr const char kWmaUserClock[] = "无法设置用户时钟。";
inline constexpr const char kWmaStart[] = "无法开始转换 wma。";

// Writing.
inline constexpr const char kWmaCreateWriter[] = "创建 Wma 写入器失败。";
inline constexpr const char kWmaCreateSink[] = "创建写入文件接收器失败。";
inline constexpr const char kWmaWriterAdvanced[] = "询问高级写入器失败。";
inline constexpr const char kWmaSink2[] = "询问写入接收器 2 失败。";
inline constexpr const char kWmaAddSink[] = "添加接收器失败。";
inline constexpr const char kWmaNoFormat[] = "生成临时文件失败。请试用更低或更高比特率。";
inline constexpr const char kWmaSetProfile[] = "SetProFile 失败。";
inline constexpr const char kWmaSinkOpen[] = "打开文件写入失败。";
inline constexpr const char kWmaBeginWriting[] = "开始写入失败。";
inline constexpr const char kWmaAllocateSample[] = "分配采样失败。";
inline constexpr const char kWmaBufferAndLength[] = "获取缓冲和长度失败。";
inline constexpr const char kWmaWriteSample[] = "写入采样函数调用失败。";
inline constexpr const char kWmaEndWriting[] = "EndWriting 失败。";
inline constexpr const char kWmaSinkClose[] = "写入文件接收器关闭失败。";

// Tags.
inline constexpr const char kWmaCreateEditor[] = "创建编辑器失败。";
inline constexpr const char kWmaEditorOpen[] = "用编辑器打开文件失败。";
inline constexpr const char kWmaEditorHeader[] = "获取 WMHeader 信息接口失败。";
inline constexpr const char kWmaEditorClose[] = "关闭编辑器失败。";

}  // namespace texts
