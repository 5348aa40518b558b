// Texts shown by the MP3 codec (%s: the system's text for the file error).
#pragma once

namespace texts {

inline constexpr const char kMp3InitEngineProbe[] = "InitMp3Engine 失败(Mp3Music::GetMusicInfo)";
inline constexpr const char kMp3InitEngineStart[] = "InitMp3Engine 失败(Mp3Music::StartConvert)";
inline constexpr const char kMp3ProbeFailed[] = "获取 mp3 信息失败。";
inline constexpr const char kMp3CancelNotStarted[] = "编码没有开始(Mp3Music::CancelConvert)";
inline constexpr const char kMp3InitStreamFailed[] = "BeInitStream 调用失败。";
inline constexpr const char kMp3OpenForWriting[] = "无法打开文件来写入(Mp3Music::InitWriter) %s";
inline constexpr const char kMp3EncodeFailed[] = "EncodeChunk 失败。";
inline constexpr const char kMp3WriteSamplesFailed[] =
    "写入采样到文件失败(Mp3Music::WriteSamples) %s";
inline constexpr const char kMp3DeinitFailed[] = "DeinitStream 失败。";
inline constexpr const char kMp3CloseWriteFailed[] = "写入采样到文件失败(Mp3Music::CloseWriter) %s";
// Only one MP3 file is probed or decoded at a time in the whole program.
inline constexpr const char kMp3BusyProbe[] = "MP3 解码器正忙(Mp3Music::GetMusicInfo)";
inline constexpr const char kMp3BusyStart[] = "MP3 解码器正忙(Mp3Music::StartConvert)";

}  // namespace texts
