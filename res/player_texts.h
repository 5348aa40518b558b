// Texts of the player's message boxes (UTF-8).
#pragma once

namespace texts {

inline constexpr const char kWaveOutOpenFailed[] = "waveOutOpen 失败。";
inline constexpr const char kPlayMapOpenFailed[] = "FileMap 播放时打开失败。";
inline constexpr const char kWaveOutPrepareHeaderFailed[] = "waveOutPrepareHeader 失败。";
inline constexpr const char kWaveOutWriteFailed[] = "waveOutWrite 失败。";

}  // namespace texts
