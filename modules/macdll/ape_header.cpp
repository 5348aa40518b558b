#include "modules/macdll/ape_header.h"

#include <cstring>

#include "platform/byte_order.h"

namespace macdll {
namespace {

using platform::LoadLe16;
using platform::LoadLe32;

constexpr int kOldestVersion = 3800;
constexpr int kNewestVersion = 3990;
constexpr int kDescriptorVersion = 3980;  // from here on a descriptor precedes the header
constexpr std::uint32_t kDescriptorBytes = 52;
constexpr std::uint32_t kHeaderBytes = 24;
constexpr std::uint32_t kOldHeaderBytes = 32;
constexpr std::uint16_t kFlag8Bit = 1;
constexpr std::uint16_t kFlagPeakLevel = 4;
constexpr std::uint16_t kFlag24Bit = 8;
constexpr std::uint16_t kFlagSeekElements = 16;
constexpr std::uint16_t kFlagNoWavHeader = 32;
// Larger frames than any encoder writes are refused, which bounds what decoding a frame (whole,
// both channels) may allocate.
constexpr std::uint32_t kMaxBlocksPerFrame = 1u << 21;

bool ReadExactly(ByteSource& source, std::uint8_t* out, std::int64_t size) {
  return source.Read(out, size) == size;
}

// Offset of the first byte after the ID3v2 tags at the start of the file (0 when none).
std::int64_t SkipId3v2(ByteSource& source) {
  std::int64_t offset = 0;
  std::uint8_t tag[10];
  while (source.Seek(offset) && ReadExactly(source, tag, 10) && std::memcmp(tag, "ID3", 3) == 0 &&
         tag[3] != 0xFF && tag[4] != 0xFF && (tag[6] | tag[7] | tag[8] | tag[9]) < 0x80) {
    const std::int64_t size = tag[6] << 21 | tag[7] << 14 | tag[8] << 7 | tag[9];
    offset += 10 + size + ((tag[5] & 0x10) != 0 ? 10 : 0);
  }
  return offset;
}

void PutLe16(std::vector<std::uint8_t>* out, std::uint32_t v) {
  out->push_back(static_cast<std::uint8_t>(v));
  out->push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutLe32(std::vector<std::uint8_t>* out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

}  // namespace

bool ApeHeader::Read(ByteSource& source) {
  const std::int64_t start = SkipId3v2(source);
  std::uint8_t magic[6];
  if (!source.Seek(start) || !ReadExactly(source, magic, 6) || std::memcmp(magic, "MAC ", 4) != 0)
    return false;
  version = LoadLe16(magic + 4);
  if (version < kOldestVersion || version > kNewestVersion) return false;
  Layout layout;
  layout.start = start;
  const bool read = version >= kDescriptorVersion ? ReadCurrent(source, start, &layout)
                                                  : ReadOld(source, start, &layout);
  return read && Sane(layout, source.Size()) && ReadFramePositions(source, layout);
}

bool ApeHeader::ReadCurrent(ByteSource& source, std::int64_t start, Layout* layout) {
  std::uint8_t d[kDescriptorBytes - 6];
  if (!ReadExactly(source, d, sizeof d)) return false;
  const std::uint32_t descriptorBytes = LoadLe32(d + 2);
  const std::uint32_t headerBytes = LoadLe32(d + 6);
  const std::uint32_t seekBytes = LoadLe32(d + 10);
  const std::uint32_t wavHeaderBytes = LoadLe32(d + 14);
  std::uint8_t h[kHeaderBytes];
  if (descriptorBytes < kDescriptorBytes || !source.Seek(start + descriptorBytes) ||
      !ReadExactly(source, h, sizeof h))
    return false;
  level = LoadLe16(h);
  blocksPerFrame = LoadLe32(h + 4);
  finalFrameBlocks = LoadLe32(h + 8);
  totalFrames = LoadLe32(h + 12);
  bits = LoadLe16(h + 16);
  channels = LoadLe16(h + 18);
  sampleRate = LoadLe32(h + 20);
  // The seek table is read right after the 24 header bytes; the frames start after all parts.
  layout->seekTable = start + descriptorBytes + kHeaderBytes;
  layout->trailing = LoadLe32(d + 26);
  layout->seekEntries = seekBytes / 4;
  layout->firstFrame =
      start + std::int64_t{descriptorBytes} + headerBytes + seekBytes + wavHeaderBytes;
  return true;
}

bool ApeHeader::ReadOld(ByteSource& source, std::int64_t start, Layout* layout) {
  std::uint8_t h[kOldHeaderBytes - 6];
  if (!ReadExactly(source, h, sizeof h)) return false;
  level = LoadLe16(h);
  const std::uint16_t flags = LoadLe16(h + 2);
  channels = LoadLe16(h + 4);
  sampleRate = LoadLe32(h + 6);
  const std::uint32_t wavHeaderBytes = LoadLe32(h + 10);
  totalFrames = LoadLe32(h + 18);
  finalFrameBlocks = LoadLe32(h + 22);
  std::int64_t headerBytes = kOldHeaderBytes;
  std::int64_t seekEntries = totalFrames;
  std::uint8_t extra[4];
  if ((flags & kFlagPeakLevel) != 0) {
    if (!ReadExactly(source, extra, 4)) return false;
    headerBytes += 4;
  }
  if ((flags & kFlagSeekElements) != 0) {
    if (!ReadExactly(source, extra, 4)) return false;
    seekEntries = LoadLe32(extra);
    headerBytes += 4;
  }
  bits = (flags & kFlag8Bit) != 0 ? 8 : (flags & kFlag24Bit) != 0 ? 24 : 16;
  if (version >= 3950) {
    blocksPerFrame = 73728 * 4;
  } else if (version >= 3900 || level >= 4000) {
    blocksPerFrame = 73728;
  } else {
    blocksPerFrame = 9216;
  }
  const std::int64_t storedWav = (flags & kFlagNoWavHeader) != 0 ? 0 : wavHeaderBytes;
  layout->seekTable = start + headerBytes + storedWav;
  layout->trailing = LoadLe32(h + 14);
  layout->seekEntries = seekEntries;
  layout->firstFrame =
      start + headerBytes + seekEntries * 4 + wavHeaderBytes + (version < 3810 ? totalFrames : 0);
  return true;
}

bool ApeHeader::Sane(const Layout& layout, std::int64_t fileSize) const {
  const bool format = (channels == 1 || channels == 2) && (bits == 8 || bits == 16 || bits == 24) &&
                      sampleRate >= 1 && sampleRate <= INT32_MAX;
  const bool levelKnown =
      level % 1000 == 0 && level >= 1000 && level <= 5000 && !(version < 3930 && level == 5000);
  const bool frames = totalFrames >= 1 && blocksPerFrame >= 1 &&
                      blocksPerFrame <= kMaxBlocksPerFrame && finalFrameBlocks >= 1 &&
                      finalFrameBlocks <= blocksPerFrame && TotalBlocks() <= INT32_MAX;
  const bool tables = layout.seekEntries >= totalFrames &&
                      layout.seekTable + std::int64_t{totalFrames} * 4 <= fileSize &&
                      layout.firstFrame < fileSize;
  return format && levelKnown && frames && tables;
}

// Every frame must start inside the file, after the previous one, and the last one must leave
// room for its data: the demuxer sizes each frame's buffer from these positions.
bool ApeHeader::ReadFramePositions(ByteSource& source, const Layout& layout) {
  std::vector<std::uint8_t> table(std::size_t{totalFrames} * 4);
  if (!source.Seek(layout.seekTable) ||
      !ReadExactly(source, table.data(), std::int64_t{totalFrames} * 4))
    return false;
  framePositions.assign(totalFrames, layout.firstFrame);
  for (std::uint32_t i = 1; i < totalFrames; ++i) {
    framePositions[i] = layout.start + LoadLe32(&table[std::size_t{i} * 4]);
    if (framePositions[i] < framePositions[i - 1]) return false;
  }
  return framePositions.back() + layout.trailing < source.Size();
}

std::int64_t ApeHeader::TotalBlocks() const {
  if (totalFrames == 0) return 0;
  return std::int64_t{totalFrames - 1} * blocksPerFrame + finalFrameBlocks;
}

std::vector<std::uint8_t> ApeHeader::Serialize(const std::vector<std::uint32_t>& seekTable,
                                               std::uint64_t frameBytes) const {
  std::vector<std::uint8_t> out;
  out.reserve(kDescriptorBytes + kHeaderBytes + seekTable.size() * 4);
  for (const char c : {'M', 'A', 'C', ' '}) out.push_back(static_cast<std::uint8_t>(c));
  PutLe16(&out, kNewestVersion);
  PutLe16(&out, 0);
  PutLe32(&out, kDescriptorBytes);
  PutLe32(&out, kHeaderBytes);
  PutLe32(&out, static_cast<std::uint32_t>(seekTable.size() * 4));
  PutLe32(&out, 0);  // no stored wave header
  PutLe32(&out, static_cast<std::uint32_t>(frameBytes));
  PutLe32(&out, static_cast<std::uint32_t>(frameBytes >> 32));
  PutLe32(&out, 0);                // no trailing wave data
  out.resize(out.size() + 16, 0);  // MD5, not computed
  PutLe16(&out, level);
  PutLe16(&out, kFlagNoWavHeader);
  PutLe32(&out, blocksPerFrame);
  PutLe32(&out, finalFrameBlocks);
  PutLe32(&out, totalFrames);
  PutLe16(&out, bits);
  PutLe16(&out, channels);
  PutLe32(&out, sampleRate);
  for (const std::uint32_t offset : seekTable) PutLe32(&out, offset);
  return out;
}

}  // namespace macdll
