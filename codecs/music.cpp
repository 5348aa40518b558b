#include "codecs/music.h"

#include <cstdint>
#include <vector>

#include "platform/byte_order.h"
#include "platform/message_box.h"

const int kBitrates[kBitrateCount] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 256, 320};

Music::Music(const char* path) : path(path != nullptr ? path : "") {}

Music::~Music() = default;

void Music::ResetProgress() {
  // Hostile or unset fields must not overflow: a negative factor counts as none, and the
  // product saturates instead of wrapping.
  const auto positive = [](std::int64_t v) { return static_cast<std::uint64_t>(v > 0 ? v : 0); };
  const unsigned __int128 perMs = static_cast<unsigned __int128>(positive(info.bitsPerSample / 8)) *
                                  positive(info.channels) * positive(info.sampleRate);  // < 2^90
  const std::uint64_t ms = positive(info.durationMs);
  const unsigned __int128 limit = static_cast<unsigned __int128>(UINT64_MAX) * 1000;
  if (ms != 0 && perMs > limit / ms) {
    bytesExpected = UINT64_MAX;
  } else {
    bytesExpected = static_cast<std::uint64_t>(perMs * ms / 1000);
  }
  bytesDone = 0;
  lastPermille = 0;
}

void Music::AddProgress(std::uint64_t n) {
  bytesDone += n;
  if (bytesExpected == 0 || progressWindow == nullptr) return;
  const unsigned __int128 exact = static_cast<unsigned __int128>(bytesDone) * 1000 / bytesExpected;
  const std::uint64_t permille = exact > INT32_MAX ? INT32_MAX : static_cast<std::uint64_t>(exact);
  if (permille > static_cast<std::uint64_t>(lastPermille)) {
    lastPermille = static_cast<std::int32_t>(permille);
    platform::PostMessage(progressWindow, WM_MUSIC_PROGRESS,
                          static_cast<platform::WParam>(permille), 0);
  }
}

bool Music::FinishWrite() {
  WriteTags();
  if (progressWindow == nullptr) return true;
  return platform::PostMessage(progressWindow, WM_MUSIC_DONE, 0, 0);
}

void Music::PostWriteDone() {
  if (progressWindow != nullptr) platform::PostMessage(progressWindow, WM_MUSIC_DONE, 0, 0);
}

namespace {

std::uint32_t LoadWord(const std::uint8_t* data, std::uint64_t length, std::uint64_t at) {
  std::uint32_t word = 0;
  for (std::uint64_t i = 0; i < 4 && at + i < length; ++i)
    word |= static_cast<std::uint32_t>(data[at + i]) << (8 * i);
  return word;
}

}  // namespace

bool Music::RepackSamples(const std::uint8_t* data, std::int64_t length, Music* target,
                          int sourceBits, int targetBits) {
  if (target == nullptr) return false;
  if (sourceBits == targetBits) return target->WriteSamples(data, length);
  if (sourceBits <= 0 || sourceBits > 32 || targetBits <= 0 || targetBits > 32 || length < 0)
    return false;
  const auto inLength = static_cast<std::uint64_t>(length);
  const std::uint64_t outLength = inLength * targetBits / sourceBits;
  std::vector<std::uint8_t> out(outLength + 10);
  const std::uint64_t samples = inLength * 8 / sourceBits;
  const std::uint64_t mask = (std::uint64_t{1} << sourceBits) - 1;
  for (std::uint64_t i = 0; i < samples; ++i) {
    const std::uint64_t bit = i * sourceBits;
    std::uint64_t value = (LoadWord(data, inLength, bit / 8) >> (bit % 8)) & mask;
    if (sourceBits < targetBits) {
      value <<= targetBits - sourceBits - 1;
    } else {
      value >>= sourceBits - targetBits;
    }
    platform::StoreLe32(out.data() + i * targetBits / 8, static_cast<std::uint32_t>(value));
  }
  return target->WriteSamples(out.data(), static_cast<std::int64_t>(outLength));
}

bool Music::HasTags() const {
  const MusicTag& t = info.tag;
  return !t.title.empty() || !t.artist.empty() || !t.album.empty() || !t.track.empty() ||
         !t.year.empty() || !t.genre.empty();
}

void Music::ReportError(const std::string& text) const {
  platform::FlashMainWindow();
  platform::ShowMessage(text + " - " + path);
}
