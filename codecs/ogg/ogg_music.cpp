#include "codecs/ogg/ogg_music.h"

#include <chrono>
#include <cstring>
#include <exception>
#include <limits>
#include <random>
#include <string_view>

#include "codecs/encoder_settings.h"
#include "res/ogg_texts.h"

namespace {

struct CommentKey {
  const char* key;
  std::string MusicTag::*field;
};

// Read as prefixes "KEY=", in any case; the first match wins.
constexpr CommentKey kReadKeys[] = {
    {"TITLE", &MusicTag::title},       {"ARTIST", &MusicTag::artist}, {"ALBUM", &MusicTag::album},
    {"TRACKNUMBER", &MusicTag::track}, {"DATE", &MusicTag::year},     {"GENRE", &MusicTag::genre},
};

// Written in this order, each only when set, then the encoder's name.
constexpr CommentKey kWriteKeys[] = {
    {"TITLE", &MusicTag::title},       {"ARTIST", &MusicTag::artist}, {"ALBUM", &MusicTag::album},
    {"TRACKNUMBER", &MusicTag::track}, {"GENRE", &MusicTag::genre},   {"DATE", &MusicTag::year},
};
constexpr const char kEncoderKey[] = "ENCODER";
constexpr const char kEncoderName[] = "Tonewright Suite";

const char* OpenFailureText(int code) {
  switch (code) {
    case OV_EREAD: return texts::kOggOpenReadError;
    case OV_EFAULT: return texts::kOggOpenInternalFault;
    case OV_ENOTVORBIS: return texts::kOggOpenNotVorbis;
    case OV_EBADHEADER: return texts::kOggOpenBadHeader;
    case OV_EVERSION: return texts::kOggOpenVersion;
    default: return texts::kOggOpenUnknown;
  }
}

// Length of the well-formed UTF-8 sequence at `i`, or 0 when the byte there starts none.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  return length;
}

// Vorbis comments are UTF-8 by definition; a byte that breaks it becomes U+FFFD, so that the
// program's text stays valid and what it writes back passes as a Vorbis comment.
std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(text.substr(i, length));
      i += length;
    }
  }
  return out;
}

bool StartsWithKey(std::string_view comment, const char* key) {
  const std::size_t length = std::strlen(key);
  if (comment.size() <= length || comment[length] != '=') return false;
  for (std::size_t i = 0; i < length; ++i) {
    char c = comment[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != key[i]) return false;
  }
  return true;
}

void ApplyComment(MusicTag& tag, std::string_view comment) {
  for (const CommentKey& entry : kReadKeys) {
    if (!StartsWithKey(comment, entry.key)) continue;
    tag.*entry.field = ValidUtf8(comment.substr(std::strlen(entry.key) + 1));
    return;
  }
}

std::vector<std::pair<std::string, std::string>> CommentsOf(const MusicTag& tag) {
  std::vector<std::pair<std::string, std::string>> comments;
  for (const CommentKey& entry : kWriteKeys) {
    const std::string& value = tag.*entry.field;
    if (!value.empty()) comments.emplace_back(entry.key, ValidUtf8(value));
  }
  comments.emplace_back(kEncoderKey, kEncoderName);
  return comments;
}

// A limit of the settings record in bit/s; anything but a positive value means no limit.
long LimitBitsPerSecond(std::int32_t kbps) { return kbps > 0 ? kbps * 1000L : -1000L; }

// A fresh serial number per file, so that files joined end to end stay a valid chain.
std::uint32_t NewSerial() {
  try {
    std::random_device device;
    return device();
  } catch (const std::exception&) {
    return static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
}

std::int64_t Milliseconds(std::int64_t frames, long rate) {
  const __int128 ms = static_cast<__int128>(frames) * 1000 / rate;
  return ms > std::numeric_limits<std::int64_t>::max() ? std::numeric_limits<std::int64_t>::max()
                                                       : static_cast<std::int64_t>(ms);
}

}  // namespace

OggMusic::OggMusic(const std::string& path) : ThreadedSource(path, kBufferSize) {}

OggMusic::OggMusic(const std::string& path, std::span<const std::uint8_t> bytes)
    : ThreadedSource(path, kBufferSize), memory_(bytes), inMemory_(true) {}

OggMusic::~OggMusic() {
  JoinDecode();
  Close();
  // A writer never closed (a cancelled first of two export ranges, or a caller that gave up)
  // still leaves a valid file; nothing is posted from here.
  if (writer_ != nullptr && writer_->IsOpen()) FinishStream();
}

bool OggMusic::Open() {
  Close();
  input_ = inMemory_ ? OggMemoryInput(memory_) : OpenOggFile(path);
  if (input_ == nullptr) {
    ReportError(texts::kOggCannotAccess);
    return false;
  }
  const int result = ov_open_callbacks(input_.get(), &vf_, nullptr, 0, OggInput::Callbacks());
  if (result < 0) {
    input_.reset();
    ReportError(OpenFailureText(result));
    return false;
  }
  vfOpen_ = true;
  return true;
}

void OggMusic::Close() {
  if (vfOpen_) ov_clear(&vf_);
  vfOpen_ = false;
  input_.reset();
}

const vorbis_info* OggMusic::OpenWithInfo() {
  if (!Open()) return nullptr;
  const vorbis_info* vi = ov_info(&vf_, -1);
  if (vi == nullptr || vi->rate <= 0 || vi->rate > std::numeric_limits<std::int32_t>::max()) {
    ReportError(texts::kOggNoInfo);
    Close();
    return nullptr;
  }
  return vi;
}

bool OggMusic::GetMusicInfo() {
  const vorbis_info* vi = OpenWithInfo();
  if (vi == nullptr) return false;
  info.bitrate = static_cast<std::int32_t>(vi->bitrate_nominal / 1000);
  info.sampleRate = static_cast<std::int32_t>(vi->rate);
  info.channels = vi->channels;
  info.bitsPerSample = 16;  // ov_read always delivers 16-bit samples here
  info.durationMs = Milliseconds(PlayableFrames(*vi), vi->rate);
  Close();
  return true;
}

std::int64_t OggMusic::PlayableFrames(const vorbis_info& first) {
  std::int64_t total = 0;
  const long links = ov_streams(&vf_);
  for (long link = 0; link < links && link <= std::numeric_limits<int>::max(); ++link) {
    const vorbis_info* vi = ov_info(&vf_, static_cast<int>(link));
    if (vi == nullptr || vi->rate != first.rate || vi->channels != first.channels) break;
    const ogg_int64_t frames = ov_pcm_total(&vf_, static_cast<int>(link));
    if (frames < 0 || __builtin_add_overflow(total, frames, &total)) break;
  }
  return total;
}

bool OggMusic::ReadTags() {
  if (!Open()) return false;
  const vorbis_comment* vc = ov_comment(&vf_, -1);
  if (vc == nullptr) {
    ReportError(texts::kOggNoComments);
    Close();
    return false;
  }
  for (int i = 0; i < vc->comments && vc->user_comments[i] != nullptr; ++i) {
    const char* comment = vc->user_comments[i];
    const std::size_t stored = vc->comment_lengths != nullptr && vc->comment_lengths[i] > 0
                                   ? static_cast<std::size_t>(vc->comment_lengths[i])
                                   : 0;
    ApplyComment(info.tag, std::string_view(comment, strnlen(comment, stored)));
  }
  Close();
  return true;
}

bool OggMusic::OpenDecode() {
  const vorbis_info* vi = OpenWithInfo();
  if (vi == nullptr) return false;
  firstRate_ = vi->rate;
  firstChannels_ = vi->channels;
  decodeEnded_ = false;
  return true;
}

bool OggMusic::SameFormatAsFirst(int link) {
  const vorbis_info* vi = ov_info(&vf_, link);
  return vi != nullptr && vi->rate == firstRate_ && vi->channels == firstChannels_;
}

std::int64_t OggMusic::ReadChunk(std::uint8_t* buffer, std::int64_t capacity) {
  const std::int64_t frameBytes = 2 * std::int64_t{firstChannels_};
  std::int64_t got = 0;
  while (!decodeEnded_ && capacity - got >= frameBytes) {
    int link = 0;
    const long n = ov_read(&vf_, reinterpret_cast<char*>(buffer + got),
                           static_cast<int>(capacity - got), 0, 2, 1, &link);
    // A hole (damaged or missing pages) loses only what it covers; decoding resumes after it.
    if (n == OV_HOLE) continue;
    // A later stream of another rate or channel count would not fit the data delivered so
    // far: the decode ends with the streams before it.
    if (n <= 0 || !SameFormatAsFirst(link)) {
      decodeEnded_ = true;
      break;
    }
    got += n;
  }
  return got;
}

bool OggMusic::InitWriter() {
  if (writer_ != nullptr && writer_->IsOpen()) FinishStream();
  // Samples arrive 16-bit whatever the source's width (the feeding source repacks them to
  // this width), and progress counts them so.
  info.bitsPerSample = 16;
  const OggEncoderSettings& limits = GlobalEncoderSettings().ogg;
  OggStreamWriter::Settings settings;
  settings.channels = info.channels;
  settings.rate = info.sampleRate;
  settings.maxBitrate = LimitBitsPerSecond(limits.maxBitrate);
  settings.nominalBitrate = info.bitrate * 1000L;
  settings.minBitrate = LimitBitsPerSecond(limits.minBitrate);
  settings.serial = NewSerial();
  settings.comments = CommentsOf(info.tag);
  writer_ = std::make_unique<OggStreamWriter>();
  if (const char* failure = writer_->Open(path, settings)) {
    writer_.reset();
    writeFailed = true;
    ReportError(failure);
    return false;
  }
  ResetProgress();
  return true;
}

bool OggMusic::WriteSamples(const std::uint8_t* data, std::int64_t length) {
  if (writer_ != nullptr && writer_->Failed()) {
    writeFailed = true;  // reported when it failed
    return false;
  }
  const char* failure = nullptr;
  if (writer_ == nullptr || !writer_->IsOpen() || length < 0) {
    failure = texts::kOggWriteFailed;
  } else if (length > 0) {
    // Refused unless the stream is mono or stereo.
    failure = writer_->Write(data, length / (2 * writer_->Channels()));
  }
  if (failure != nullptr) {
    writeFailed = true;
    ReportError(failure);
    return false;
  }
  AddProgress(static_cast<std::uint64_t>(length));
  return true;
}

bool OggMusic::FinishStream() {
  const bool reportedBefore = writer_->Failed();
  const char* failure = writer_->Finish();
  writer_.reset();
  if (failure != nullptr && !reportedBefore) ReportError(failure);
  return failure == nullptr;
}

bool OggMusic::CloseWriter() {
  if (writer_ == nullptr || !writer_->IsOpen()) {
    // Nothing to finish, but whoever waits for this writer still gets its completion.
    writeFailed = true;
    ReportError(texts::kOggWriteFailed);
    PostWriteDone();
    return false;
  }
  return CompleteClose([this] { return FinishStream(); });
}
