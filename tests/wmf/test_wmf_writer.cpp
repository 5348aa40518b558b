// The writer: exports made the way the WMA codec makes them (profile searched in the codec
// listing, file sink) decode with ffmpeg at the chosen bitrate, rate and channels, to the
// very samples of ffmpeg's own encode of the same input; misuse is refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>

#include "tests/support/test_files.h"
#include "tests/wmf/wmf_export.h"
#include "tests/wmf/wmf_harness.h"

using namespace wmf_test;
using testing_support::TempDir;

namespace {

std::set<std::string> PacketSizes(const std::string& path) {
  const std::string out = RunCommand(
      "ffprobe -v error -select_streams a:0 -show_entries "
      "packet=size -of csv=p=0 " +
      Quote(path));
  std::set<std::string> sizes;
  for (std::size_t at = 0, end; at < out.size(); at = end + 1) {
    end = out.find('\n', at);
    if (end == std::string::npos) end = out.size();
    if (end > at) sizes.insert(out.substr(at, end - at));
  }
  return sizes;
}

}  // namespace

TEST(WmfWriter, ExportsDecodeLikeFfmpegsOwnEncode) {
  const struct {
    int rate, channels, kbps, bits;
  } cases[] = {{44100, 2, 128, 16}, {48000, 2, 320, 16}, {22050, 1, 32, 16},
               {8000, 1, 24, 16},   {11025, 2, 96, 8},   {32000, 1, 64, 16}};
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.channels) + " ch " +
                 std::to_string(c.kbps) + " kbit/s " + std::to_string(c.bits) + " bits");
    const std::string wav = dir.File("in.wav"), ours = dir.File("ours.wma");
    const std::string ref = dir.File("ref.wma");
    const std::string pcmFormat = c.bits == 8 ? "u8" : "s16le";
    ASSERT_TRUE(
        Ffmpeg(Signal(c.rate, c.channels, 3.3) + " -c:a pcm_" + pcmFormat + " " + Quote(wav)));
    const std::string pcm =
        RunCommand("ffmpeg -v error -i " + Quote(wav) + " -f " + pcmFormat + " -");
    const std::optional<Listed> format = FindFormat(c.rate, c.channels, c.kbps);
    ASSERT_TRUE(format.has_value());

    WriterSet set = BeginWriter(ours, *format, c.bits);
    Feed(set.writer.get(), pcm, c.channels * c.bits / 8);
    ASSERT_EQ(set.writer->EndWriting(), S_OK);
    ASSERT_EQ(set.sink->Close(), S_OK);

    EXPECT_EQ(Probe(ours, "stream=codec_name"), "wmav2");
    EXPECT_EQ(Probe(ours, "stream=sample_rate"), std::to_string(c.rate));
    EXPECT_EQ(Probe(ours, "stream=channels"), std::to_string(c.channels));
    EXPECT_EQ(Probe(ours, "stream=bit_rate"), std::to_string(c.kbps * 1000));
    EXPECT_EQ(PacketSizes(ours), std::set<std::string>{std::to_string(format->wave.nBlockAlign)})
        << "every packet is one block of the listed size";
    ASSERT_TRUE(Ffmpeg("-i " + Quote(wav) + " -c:a wmav2 -b:a " + std::to_string(c.kbps) + "k " +
                       Quote(ref)));
    EXPECT_EQ(Probe(ours, "format=duration"), Probe(ref, "format=duration"));
    EXPECT_TRUE(FfmpegPcm(ours) == FfmpegPcm(ref)) << "decodes to ffmpeg's own encode";
  }
}

TEST(WmfWriter, OffersOnlyFormatsItCanWrite) {
  // The bitrates of the export dialog at CD quality, and none above the rate of 16-bit PCM.
  for (const int kbps : {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 256, 320}) {
    EXPECT_TRUE(FindFormat(44100, 2, kbps).has_value()) << kbps;
  }
  for (const int kbps : {16, 100, 127, 129, 384}) EXPECT_FALSE(FindFormat(44100, 2, kbps)) << kbps;
  EXPECT_TRUE(FindFormat(8000, 1, 128).has_value());
  EXPECT_FALSE(FindFormat(8000, 1, 160).has_value());
  EXPECT_FALSE(FindFormat(96000, 2, 128).has_value());
  EXPECT_FALSE(FindFormat(44100, 3, 128).has_value());
}

TEST(WmfWriter, RefusesMisuse) {
  TempDir dir;
  const std::optional<Listed> format = FindFormat(44100, 2, 128);
  ASSERT_TRUE(format.has_value());
  Listed unlisted = *format;
  reinterpret_cast<WAVEFORMATEX*>(unlisted.block.data())->nAvgBytesPerSec += 1;

  const auto writer = Made<IWMWriter>([](IWMWriter** w) { return WMCreateWriter(nullptr, w); });
  const auto held = Made<INSSBuffer>([&](INSSBuffer** b) { return writer->AllocateSample(6, b); });
  INSSBuffer* sample = held.get();
  IWMInputMediaProps* input = nullptr;
  EXPECT_EQ(writer->GetInputProps(0, &input), NS_E_INVALID_REQUEST) << "no profile yet";
  EXPECT_EQ(writer->SetProfile(ProfileFor(unlisted).get()), E_INVALIDARG);
  EXPECT_EQ(writer->BeginWriting(), NS_E_INVALID_REQUEST) << "no profile, no sink";
  EXPECT_EQ(writer->SetProfile(ProfileFor(*format).get()), S_OK);
  EXPECT_EQ(writer->BeginWriting(), NS_E_INVALID_REQUEST) << "no sink";
  EXPECT_EQ(writer->WriteSample(0, 0, 0, sample), NS_E_INVALID_REQUEST) << "not writing";
  EXPECT_EQ(writer->EndWriting(), NS_E_INVALID_REQUEST);
  IWMInputMediaProps* unused = nullptr;
  EXPECT_EQ(writer->GetInputProps(1, &unused), E_INVALIDARG);
  INSSBuffer* huge = nullptr;
  EXPECT_EQ(writer->AllocateSample(0xFFFFFFFF, &huge), E_OUTOFMEMORY);

  WriterSet set = BeginWriter(dir.File("m.wma"), *format, 16);
  EXPECT_EQ(set.writer->WriteSample(0, 0, 0, sample), E_INVALIDARG) << "six bytes: 1.5 frames";
  EXPECT_EQ(set.writer->WriteSample(1, 0, 0, sample), E_INVALIDARG) << "no input 1";
  EXPECT_EQ(set.sink->Close(), NS_E_INVALID_REQUEST) << "the writer still writes";
  EXPECT_EQ(set.writer->SetProfile(ProfileFor(*format).get()), NS_E_INVALID_REQUEST);
  EXPECT_EQ(set.writer->EndWriting(), S_OK);
  EXPECT_EQ(set.sink->Close(), S_OK);
  EXPECT_EQ(set.sink->Close(), NS_E_INVALID_REQUEST);
}

TEST(WmfWriter, AWriterDroppedWhileWritingLeavesAFinishedFile) {
  TempDir dir;
  const std::optional<Listed> format = FindFormat(22050, 2, 64);
  ASSERT_TRUE(format.has_value());
  const std::string path = dir.File("dropped.wma");
  {
    WriterSet set = BeginWriter(path, *format, 16);
    Feed(set.writer.get(), std::string(22050 * 4 * 2, '\x10'), 4);  // two seconds
  }
  EXPECT_EQ(Probe(path, "stream=codec_name"), "wmav2");
  EXPECT_NEAR(std::stod(Probe(path, "format=duration")), 2.0, 0.1);
  const long frames = static_cast<long>(FfmpegPcm(path).size() / 4);
  EXPECT_LE(std::labs(frames - 2 * 22050), 1024) << "all that was written, within one block";
}
