#include "codecs/encoder_settings.h"

#include <cstdio>
#include <utility>

#include "platform/byte_order.h"

namespace {

constexpr std::size_t kFieldSize = 4;

// Every field in file order; `Settings` is EncoderSettings or const EncoderSettings.
template <typename Settings>
auto Fields(Settings& s) {
  auto& m = s.mp3;
  return std::array{&m.resampleRate,   &m.stereoMode,     &m.preset,          &m.copyrightBit,
                    &m.crcBit,         &m.originalBit,    &m.privateBit,      &m.encodingMode,
                    &m.maxVbrBitrate,  &m.vbrMethod,      &m.writeVbrHeader,  &m.vbrQuality,
                    &s.ogg.maxBitrate, &s.ogg.minBitrate, &s.compressionLevel};
}

static_assert(kFieldSize *
                  (1 + std::tuple_size_v<decltype(Fields(std::declval<EncoderSettings&>()))>) ==
              kEncoderSettingsFileSize);

std::int32_t LoadField(const std::uint8_t* p) {
  return static_cast<std::int32_t>(platform::LoadLe32(p));
}

}  // namespace

EncoderSettings& GlobalEncoderSettings() {
  static EncoderSettings settings;
  return settings;
}

void ParseEncoderSettings(const std::uint8_t* bytes, std::size_t size, EncoderSettings& settings) {
  if (size < kFieldSize || LoadField(bytes) != kEncoderSettingsVersion) return;
  std::size_t offset = kFieldSize;
  // A short file gives the fields it holds completely; a trailing partial field is dropped.
  for (std::int32_t* field : Fields(settings)) {
    if (size - offset < kFieldSize) return;
    *field = LoadField(bytes + offset);
    offset += kFieldSize;
  }
}

std::array<std::uint8_t, kEncoderSettingsFileSize> SerializeEncoderSettings(
    const EncoderSettings& settings) {
  std::array<std::uint8_t, kEncoderSettingsFileSize> bytes{};
  platform::StoreLe32(bytes.data(), static_cast<std::uint32_t>(kEncoderSettingsVersion));
  std::size_t offset = kFieldSize;
  for (const std::int32_t* field : Fields(settings)) {
    platform::StoreLe32(bytes.data() + offset, static_cast<std::uint32_t>(*field));
    offset += kFieldSize;
  }
  return bytes;
}

void LoadEncoderSettings(const std::string& path, EncoderSettings& settings) {
  settings = EncoderSettings{};
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return;
  std::array<std::uint8_t, kEncoderSettingsFileSize> bytes{};
  const std::size_t size = std::fread(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  ParseEncoderSettings(bytes.data(), size, settings);
}

bool SaveEncoderSettings(const std::string& path, const EncoderSettings& settings) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const auto bytes = SerializeEncoderSettings(settings);
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}
