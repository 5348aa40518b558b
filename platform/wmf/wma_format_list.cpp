#include "platform/wmf/wma_format_list.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <cstring>

namespace platform::wmf {

namespace {

constexpr int kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
constexpr int kKbps[] = {24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 256, 320};

// Opens the encoder as the writer will, and takes the block size and extra bytes it gives.
bool Probe(const AVCodec* codec, int rate, int channels, int bitrate, WmaFormat* format) {
  AVCodecContext* encoder = avcodec_alloc_context3(codec);
  if (encoder == nullptr) return false;
  encoder->sample_rate = rate;
  encoder->bit_rate = bitrate;
  encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
  encoder->time_base = {1, rate};
  av_channel_layout_default(&encoder->ch_layout, channels);
  const bool opened = avcodec_open2(encoder, codec, nullptr) >= 0 && encoder->block_align > 0;
  if (opened) {
    format->wave = WAVEFORMATEX{WAVE_FORMAT_WMAUDIO2,
                                static_cast<WORD>(channels),
                                static_cast<DWORD>(rate),
                                static_cast<DWORD>(bitrate / 8),
                                static_cast<WORD>(encoder->block_align),
                                16,
                                static_cast<WORD>(encoder->extradata_size)};
    format->extra.assign(encoder->extradata, encoder->extradata + encoder->extradata_size);
  }
  avcodec_free_context(&encoder);
  return opened;
}

std::vector<WmaFormat> Build() {
  std::vector<WmaFormat> formats;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
  if (codec == nullptr) return formats;
  for (const int rate : kRates) {
    for (int channels = 1; channels <= 2; ++channels) {
      for (const int kbps : kKbps) {
        WmaFormat format;
        if (kbps * 1000 <= rate * channels * 16 &&
            Probe(codec, rate, channels, kbps * 1000, &format)) {
          formats.push_back(std::move(format));
        }
      }
    }
  }
  return formats;
}

}  // namespace

const std::vector<WmaFormat>& WmaFormatList::Get() {
  static const std::vector<WmaFormat> formats = Build();
  return formats;
}

const WmaFormat* WmaFormatList::Find(const WAVEFORMATEX& wave, const BYTE* extra) {
  const std::vector<WmaFormat>& formats = Get();
  const auto found = std::find_if(formats.begin(), formats.end(), [&](const WmaFormat& f) {
    return std::memcmp(&f.wave, &wave, sizeof wave) == 0 &&
           (f.extra.empty() || std::memcmp(f.extra.data(), extra, f.extra.size()) == 0);
  });
  return found == formats.end() ? nullptr : &*found;
}

MediaType WmaFormatList::TypeOf(const WmaFormat& format) {
  return MediaType::Compressed(format.wave, format.extra);
}

}  // namespace platform::wmf
