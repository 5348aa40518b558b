#include "codecs/ogg/ogg_stream_writer.h"

#include <algorithm>

#include "platform/byte_order.h"
#include "res/ogg_texts.h"

namespace {

// Frames handed to the encoder at a time, so that its buffers stay small whatever the caller
// passes in one call.
constexpr std::int64_t kSliceFrames = 8192;

void Deinterleave(const std::uint8_t* pcm, int frames, int channels, float** out) {
  constexpr float kScale = 1.0f / 32768.0f;
  if (channels == 1) {
    for (int i = 0; i < frames; ++i) out[0][i] = platform::LoadPcm16(pcm + 2 * i) * kScale;
    return;
  }
  for (int i = 0; i < frames; ++i) {
    out[0][i] = platform::LoadPcm16(pcm + 4 * i) * kScale;
    out[1][i] = platform::LoadPcm16(pcm + 4 * i + 2) * kScale;
  }
}

}  // namespace

OggStreamWriter::~OggStreamWriter() { Release(); }

const char* OggStreamWriter::Open(const std::string& path, const Settings& settings) {
  Release();
  failed_ = false;
  const char* failure = SetUpEncoder(settings);
  if (failure == nullptr) failure = QueueHeaders();
  if (failure == nullptr) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
      failure = texts::kOggCannotCreate;
    } else {
      if (!fileBuffer_) fileBuffer_.reset(new char[kFileBufferBytes]);
      std::setvbuf(file_, fileBuffer_.get(), _IOFBF, kFileBufferBytes);
      failure = FlushHeaderPages();
    }
  }
  if (failure != nullptr) Release();
  return failure;
}

const char* OggStreamWriter::SetUpEncoder(const Settings& settings) {
  vorbis_info_init(&vi_);
  vorbis_comment_init(&vc_);
  infoReady_ = true;
  if (vorbis_encode_init(&vi_, settings.channels, settings.rate, settings.maxBitrate,
                         settings.nominalBitrate, settings.minBitrate) != 0)
    return texts::kOggEncodeInit;
  channels_ = settings.channels;
  for (const auto& [key, value] : settings.comments)
    vorbis_comment_add_tag(&vc_, key.c_str(), value.c_str());
  if (vorbis_analysis_init(&vd_, &vi_) != 0) return texts::kOggAnalysisInit;
  dspReady_ = true;
  if (vorbis_block_init(&vd_, &vb_) != 0) return texts::kOggBlockInit;
  blockReady_ = true;
  if (ogg_stream_init(&os_, static_cast<int>(settings.serial)) != 0) return texts::kOggStreamInit;
  streamReady_ = true;
  return nullptr;
}

const char* OggStreamWriter::QueueHeaders() {
  ogg_packet header;
  ogg_packet comments;
  ogg_packet codebooks;
  if (vorbis_analysis_headerout(&vd_, &vc_, &header, &comments, &codebooks) != 0)
    return texts::kOggHeaderOut;
  if (ogg_stream_packetin(&os_, &header) != 0) return texts::kOggPacketIn1;
  if (ogg_stream_packetin(&os_, &comments) != 0) return texts::kOggPacketIn2;
  if (ogg_stream_packetin(&os_, &codebooks) != 0) return texts::kOggPacketIn3;
  return nullptr;
}

// Flushing right after the headers puts them on pages of their own: the first page holds the
// identification header alone, and audio starts on a fresh page.
const char* OggStreamWriter::FlushHeaderPages() {
  ogg_page page;
  while (ogg_stream_flush(&os_, &page) != 0) {
    if (const char* failure = WritePage(page)) return failure;
  }
  return nullptr;
}

const char* OggStreamWriter::Write(const std::uint8_t* pcm, std::int64_t frames) {
  if (file_ == nullptr || failed_ || (channels_ != 1 && channels_ != 2))
    return texts::kOggWriteFailed;
  while (frames > 0) {
    const auto slice = static_cast<int>(std::min(frames, kSliceFrames));
    Deinterleave(pcm, slice, channels_, vorbis_analysis_buffer(&vd_, slice));
    vorbis_analysis_wrote(&vd_, slice);
    if (const char* failure = Drain()) return failure;
    pcm += std::int64_t{slice} * channels_ * 2;
    frames -= slice;
  }
  return nullptr;
}

const char* OggStreamWriter::Drain() {
  while (vorbis_analysis_blockout(&vd_, &vb_) == 1) {
    vorbis_analysis(&vb_, nullptr);
    vorbis_bitrate_addblock(&vb_);
    ogg_packet packet;
    while (vorbis_bitrate_flushpacket(&vd_, &packet) == 1) {
      // A stream that received no samples still ends on an audio page, which players need to
      // recognise the stream; position 0 there would make the page invalid. Position 1 is
      // valid, and decoders still produce no sample from the page.
      if (packet.e_o_s && packet.granulepos < 1) packet.granulepos = 1;
      ogg_stream_packetin(&os_, &packet);
      ogg_page page;
      while (ogg_stream_pageout(&os_, &page) != 0) {
        if (const char* failure = WritePage(page)) return failure;
        if (ogg_page_eos(&page)) break;
      }
    }
  }
  return nullptr;
}

const char* OggStreamWriter::WritePage(const ogg_page& page) {
  const auto headerBytes = static_cast<std::size_t>(page.header_len);
  const auto bodyBytes = static_cast<std::size_t>(page.body_len);
  if (std::fwrite(page.header, 1, headerBytes, file_) != headerBytes) {
    failed_ = true;
    return texts::kOggWritePageHeader;
  }
  if (std::fwrite(page.body, 1, bodyBytes, file_) != bodyBytes) {
    failed_ = true;
    return texts::kOggWritePageBody;
  }
  return nullptr;
}

const char* OggStreamWriter::Finish() {
  if (file_ == nullptr) return texts::kOggWriteFailed;
  const char* failure = failed_ ? texts::kOggWriteFailed : nullptr;
  if (failure == nullptr) {
    vorbis_analysis_wrote(&vd_, 0);
    failure = Drain();
  }
  // Buffered pages reach the disk only here.
  if (std::fclose(file_) != 0 && failure == nullptr) failure = texts::kOggWriteFailed;
  file_ = nullptr;
  Release();
  return failure;
}

void OggStreamWriter::Release() {
  if (streamReady_) ogg_stream_clear(&os_);
  if (blockReady_) vorbis_block_clear(&vb_);
  if (dspReady_) vorbis_dsp_clear(&vd_);
  if (infoReady_) {
    vorbis_comment_clear(&vc_);
    vorbis_info_clear(&vi_);
  }
  streamReady_ = blockReady_ = dspReady_ = infoReady_ = false;
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  channels_ = 0;
}
