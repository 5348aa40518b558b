// Texts shown by the codec layer (shared Music operations and the WAV codec).
#pragma once

namespace texts {

// Opening a WAV file, chosen by the RIFF layer's error number.
inline constexpr const char kWavAccessDenied[] = "文件受保护，无法打开。";
inline constexpr const char kWavSharingViolation[] = "文件正被其它程序使用，故当前不可用。";
inline constexpr const char kWavNetworkError[] = "网络对打开远程文件的请求没有响应。";
inline constexpr const char kWavTooManyOpenFiles[] =
    "同时打开的文件数已到达最大水平。系统用完了可用的文件句柄。";
inline constexpr const char kWavInvalidFile[] = "无效文件错误";
inline constexpr const char kWavOpenUnknown[] = "mmioOpen 失败，未知错误";

// Chunk search; %s is the four-character chunk name.
inline constexpr const char kWavUnknownSearch[] = "未知查找选项";
inline constexpr const char kWavChunkNotFound[] = "无法找到 %s riff/chunk！";
inline constexpr const char kWavDescendFailed[] = "mmioDescend FindRiff/chunk %s 失败！";

// Reading the format.
inline constexpr const char kWavNoFormat[] = "无法获得 wave 格式！";
inline constexpr const char kWavNotPcm[] = "不是 PCM 格式。";

// Writing.
inline constexpr const char kWavRiffOffset[] = "无法确定区块部分数据的偏移。 WAVE";
inline constexpr const char kWavRiffHeader[] = "无法写入区块头部。 WAVE";
inline constexpr const char kWavRiffCreate[] = "mmioCreateChunk 失败。 WAVE";
inline constexpr const char kWavFmtOffset[] = "无法确定区块部分数据的偏移。 fmt";
inline constexpr const char kWavFmtHeader[] = "无法写入区块头部。 fmt";
inline constexpr const char kWavFmtCreate[] = "mmioCreateChunk 失败。 fmt";
inline constexpr const char kWavWriteFormat[] = "写入 WaveFormat 失败。";
inline constexpr const char kWavFmtAscendSeek[] = "搜索到区块末尾时一个错误发生。写入 WaveFormat";
inline constexpr const char kWavFmtAscendFlush[] = "缓冲容量不能被写入到磁盘。写入 WaveFormat";
inline constexpr const char kWavDataHeader[] = "无法写入到区块头部。 data";
inline constexpr const char kWavDataOffset[] = "无法确定区块部分数据的偏移。 data";
inline constexpr const char kWavDataCreate[] = "mmioCreateChunk 失败。 data";
inline constexpr const char kWavInitBeforeWrite[] = "必须 InitWriter 早于 WriteSamples。";
inline constexpr const char kWavWriteFailed[] = "mmioWrite 失败。";
inline constexpr const char kWavInitBeforeClose[] = "必须 InitWriter 早于 CloseWriter。";

}  // namespace texts
