// The export as the WMA codec makes it: the format searched in the codec listing, a profile
// of one stream, the writer with its file sink, one sample per chunk of whole frames.
#pragma once

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tests/wmf/wmf_harness.h"

namespace wmf_test {

struct Listed {
  WAVEFORMATEX wave;
  std::vector<BYTE> block;  // the whole format block
};

// The codec format the WMA codec picks: WMA 2 at this rate and channel count within 249
// bit/s of the bitrate, the largest block, the later one on a tie.
inline std::optional<Listed> FindFormat(int rate, int channels, int kbps) {
  const ComPtr<IWMCodecInfo> info =
      Query<IWMCodecInfo>(Made<IWMProfileManager>(WMCreateProfileManager).get());
  DWORD codecs = 0, formats = 0;
  EXPECT_EQ(info->GetCodecInfoCount(WMMEDIATYPE_Audio, &codecs), S_OK);
  std::optional<Listed> best;
  for (DWORD codec = 0; codec < codecs; ++codec) {
    EXPECT_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Audio, codec, &formats), S_OK);
    for (DWORD f = 0; f < formats; ++f) {
      const auto config = Made<IWMStreamConfig>([&](IWMStreamConfig** c) {
        return info->GetCodecFormat(WMMEDIATYPE_Audio, codec, f, c);
      });
      MediaTypeCopy type(Query<IWMMediaProps>(config.get()).get());
      EXPECT_TRUE(type->formattype == WMFORMAT_WaveFormatEx);
      const WAVEFORMATEX wave = *type.wave();
      const long long off = static_cast<long long>(wave.nAvgBytesPerSec) * 8 - kbps * 1000LL;
      if (wave.wFormatTag == WAVE_FORMAT_WMAUDIO2 && wave.nSamplesPerSec == DWORD(rate) &&
          wave.nChannels == channels && off >= -249 && off <= 249 &&
          (!best || wave.nBlockAlign >= best->wave.nBlockAlign)) {
        best = Listed{wave, std::vector<BYTE>(type->pbFormat, type->pbFormat + type->cbFormat)};
      }
    }
  }
  return best;
}

inline ComPtr<IWMProfile> ProfileFor(const Listed& format) {
  const auto manager = Made<IWMProfileManager>(WMCreateProfileManager);
  auto profile =
      Made<IWMProfile>([&](IWMProfile** p) { return manager->CreateEmptyProfile(WMT_VER_7_0, p); });
  EXPECT_EQ(profile->SetName(u"Custom Profile"), S_OK);
  const auto config = Made<IWMStreamConfig>(
      [&](IWMStreamConfig** c) { return profile->CreateNewStream(WMMEDIATYPE_Audio, c); });
  EXPECT_EQ(config->SetStreamNumber(1), S_OK);
  EXPECT_EQ(config->SetStreamName(u"Audio Stream"), S_OK);
  EXPECT_EQ(config->SetConnectionName(u"Audio"), S_OK);
  EXPECT_EQ(config->SetBitrate(format.wave.nAvgBytesPerSec * 8), S_OK);
  std::vector<BYTE> block = format.block;
  WM_MEDIA_TYPE type{WMMEDIATYPE_Audio,
                     WMMEDIASUBTYPE_WMAudioV8,
                     1,
                     0,
                     format.wave.nBlockAlign,
                     WMFORMAT_WaveFormatEx,
                     nullptr,
                     ULONG(block.size()),
                     block.data()};
  EXPECT_EQ(Query<IWMMediaProps>(config.get())->SetMediaType(&type), S_OK);
  EXPECT_EQ(profile->AddStream(config.get()), S_OK);
  return profile;
}

struct WriterSet {
  ComPtr<IWMWriter> writer;
  ComPtr<IWMWriterFileSink2> sink;
};

// A writer with its sink added and opened on `path`, the profile set and writing begun.
inline WriterSet BeginWriter(const std::string& path, const Listed& format, int bits) {
  WriterSet set;
  set.writer = Made<IWMWriter>([](IWMWriter** w) { return WMCreateWriter(nullptr, w); });
  set.sink = Query<IWMWriterFileSink2>(Made<IWMWriterFileSink>(WMCreateWriterFileSink).get());
  IWMWriter* writer = set.writer.get();
  EXPECT_EQ(Query<IWMWriterAdvanced>(writer)->AddSink(set.sink.get()), S_OK);
  EXPECT_EQ(writer->SetProfile(ProfileFor(format).get()), S_OK);
  if (bits == 8) {
    const auto input = Made<IWMInputMediaProps>(
        [&](IWMInputMediaProps** i) { return writer->GetInputProps(0, i); });
    MediaTypeCopy type(input.get());
    type.wave()->wBitsPerSample = 8;
    type.wave()->nBlockAlign = type.wave()->nChannels;
    EXPECT_EQ(input->SetMediaType(type.get()), S_OK);
    EXPECT_EQ(writer->SetInputProps(0, input.get()), S_OK);
  }
  EXPECT_EQ(set.sink->Open(W(path).c_str()), S_OK);
  EXPECT_EQ(writer->BeginWriting(), S_OK);
  return set;
}

// Writes `pcm` in chunks of whole frames of about 32 KiB, one sample per chunk.
inline void Feed(IWMWriter* writer, const std::string& pcm, int frameBytes) {
  const std::size_t chunk = 32768 / frameBytes * frameBytes;
  for (std::size_t at = 0; at < pcm.size(); at += chunk) {
    const auto n = static_cast<DWORD>(std::min(chunk, pcm.size() - at));
    INSSBuffer* sample = nullptr;
    ASSERT_EQ(writer->AllocateSample(n, &sample), S_OK);
    BYTE* data = nullptr;
    DWORD length = 0;
    ASSERT_EQ(sample->GetBufferAndLength(&data, &length), S_OK);
    ASSERT_EQ(length, n);
    std::memcpy(data, pcm.data() + at, n);
    EXPECT_EQ(writer->WriteSample(0, 0, 0, sample), S_OK);
    sample->Release();
  }
}

// Writes `pcm` (16-bit) as a WMA file at `kbps`; true when every step succeeded.
inline bool WriteWma(const std::string& path, int rate, int channels, int kbps,
                     const std::string& pcm) {
  const std::optional<Listed> format = FindFormat(rate, channels, kbps);
  if (!format) return false;
  WriterSet set = BeginWriter(path, *format, 16);
  Feed(set.writer.get(), pcm, channels * 2);
  return set.writer->EndWriting() == S_OK && set.sink->Close() == S_OK;
}

}  // namespace wmf_test
