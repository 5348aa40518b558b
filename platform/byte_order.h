// Little-endian loads and stores of unsigned integers and 16-bit PCM samples, on byte
// pointers of any alignment. The caller guarantees that the bytes are there.
#pragma once

#include <cstdint>

namespace platform {

inline std::uint16_t LoadLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t LoadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(LoadLe16(p)) | static_cast<std::uint32_t>(LoadLe16(p + 2))
                                                       << 16;
}

inline std::uint64_t LoadLe64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadLe32(p)) | static_cast<std::uint64_t>(LoadLe32(p + 4))
                                                       << 32;
}

inline void StoreLe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
  StoreLe16(p, v & 0xFFFF);
  StoreLe16(p + 2, v >> 16);
}

inline void StoreLe64(std::uint8_t* p, std::uint64_t v) {
  StoreLe32(p, static_cast<std::uint32_t>(v));
  StoreLe32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// One signed 16-bit PCM sample.
inline std::int16_t LoadPcm16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(LoadLe16(p));
}

inline void StorePcm16(std::uint8_t* p, std::int32_t v) {
  StoreLe16(p, static_cast<std::uint32_t>(v));
}

}  // namespace platform
