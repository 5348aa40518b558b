// The options of the MP3, Ogg Vorbis and APE writers, one record for the whole process.
//
// The record starts at its defaults, is loaded from "cvtconfig.dat" when the main window is
// created, edited by the three settings dialogs, and saved when the main window closes. Writers
// read it when they start writing, so a change applies to the next file. Values read from the
// file are kept as they are: a consumer checks the range it needs. UI thread only; no locking.
//
// The file is 64 bytes of signed 32-bit little-endian integers: the version 1, the 12 MP3
// fields, the 2 Ogg fields and the APE level, in declaration order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct Mp3EncoderSettings {
  std::int32_t resampleRate = -1;  // -1 keep the input rate, 0 the encoder decides, else Hz
  std::int32_t stereoMode = 1;     // 0 stereo, 1 joint stereo, 2 dual channel
  std::int32_t preset = 0;         // 0 normal, 1 low, 2 high, 3 voice, 4 R3mix, 5 very high
  std::int32_t copyrightBit = 0;
  std::int32_t crcBit = 0;
  std::int32_t originalBit = 0;
  std::int32_t privateBit = 0;
  std::int32_t encodingMode = 0;     // 0 CBR, 1 VBR, 2 ABR
  std::int32_t maxVbrBitrate = 320;  // kbit/s
  std::int32_t vbrMethod = 0;        // 0 default, 1 old (reliable), 2 new (faster)
  std::int32_t writeVbrHeader = 1;
  std::int32_t vbrQuality = 5;  // 0 highest … 9 lowest

  bool operator==(const Mp3EncoderSettings&) const = default;
};

struct OggEncoderSettings {
  std::int32_t maxBitrate = -1;  // kbit/s when the limit is on; -1 when off
  std::int32_t minBitrate = -1;  // kbit/s when the limit is on; -1 when off

  bool operator==(const OggEncoderSettings&) const = default;
};

struct EncoderSettings {
  Mp3EncoderSettings mp3;
  OggEncoderSettings ogg;
  std::int32_t compressionLevel = 2000;  // APE: 1000, 2000, 3000, 4000 or 5000

  bool operator==(const EncoderSettings&) const = default;
};

inline constexpr std::size_t kEncoderSettingsFileSize = 64;
inline constexpr std::int32_t kEncoderSettingsVersion = 1;

// The process-wide record.
EncoderSettings& GlobalEncoderSettings();

// Overwrites `settings` with the whole fields that `bytes` holds after a version of 1; any
// other version, or fewer than 4 bytes, leaves `settings` untouched. Bytes past 64 are ignored.
void ParseEncoderSettings(const std::uint8_t* bytes, std::size_t size, EncoderSettings& settings);
std::array<std::uint8_t, kEncoderSettingsFileSize> SerializeEncoderSettings(
    const EncoderSettings& settings);

// Resets `settings` to the defaults, then reads the file at `path` over them. A missing,
// unreadable, short or foreign file is not an error: what it cannot give stays at the default.
void LoadEncoderSettings(const std::string& path, EncoderSettings& settings);
// Creates or truncates `path` and writes `settings`. Returns false when the file could not be
// written completely; nothing is reported to the user.
bool SaveEncoderSettings(const std::string& path, const EncoderSettings& settings);
