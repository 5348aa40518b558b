// The Windows Media runtime layer and the WMA codec against ffmpeg on the same files, in one
// run.
//
// A 10-minute 44.1 kHz 16-bit stereo WAV (a tone over noise) is the input.
//  - export: the layer's writer as the WMA codec drives it (format from the codec listing at
//    128 kbit/s, file sink, one 32 KiB sample per chunk read from the WAV), and WmaMusic fed
//    by WavMusic::ConvertRange from InitWriter to its completion (tags written), against
//    `ffmpeg -i x.wav -c:a wmav2 -b:a 128k y.wma`;
//  - load: the layer's reader on ffmpeg's 128 kbit/s file, paced one second at a time from
//    OnTime, writing the PCM to a WAV file, and WmaMusic probing and decoding it into a WAV
//    cache writer until its completion, against `ffmpeg -i x.wma x.wav`.
// Prints the median of several alternating runs, in milliseconds, and the ratios.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "codecs/wav/wav_music.h"
#include "codecs/wma/wma_music.h"
#include "platform/wmf/com_object.h"
#include "platform/wmf/wide_text.h"
#include "platform/wmf/wmf.h"

namespace {

using namespace platform::wmf;
using bench::Clock;
using bench::DoneWaiter;
using bench::Median;
using bench::Ms;

constexpr int kRate = 44100;
constexpr std::int64_t kFrames = std::int64_t{600} * kRate;
constexpr int kKbps = 128;
constexpr int kRuns = 3;
constexpr QWORD kSecond = 10000000;

std::u16string Wide(const std::string& path) {
  std::u16string wide;
  Utf8ToUtf16(path, &wide);
  return wide;
}

double TimeCommand(const std::string& command) {
  const Clock::time_point t0 = Clock::now();
  if (std::system(command.c_str()) != 0) return -1;
  return Ms(Clock::now() - t0);
}

// The codec listing's 128 kbit/s stereo 44.1 kHz format as a media type block.
std::vector<BYTE> FindFormat() {
  IWMProfileManager* manager = nullptr;
  WMCreateProfileManager(&manager);
  const ComPtr<IWMProfileManager> holdManager(manager);
  IWMCodecInfo* info = nullptr;
  manager->QueryInterface(&info);
  const ComPtr<IWMCodecInfo> holdInfo(info);
  DWORD formats = 0;
  info->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &formats);
  for (DWORD f = 0; f < formats; ++f) {
    IWMStreamConfig* config = nullptr;
    info->GetCodecFormat(WMMEDIATYPE_Audio, 0, f, &config);
    const ComPtr<IWMStreamConfig> holdConfig(config);
    IWMMediaProps* props = nullptr;
    config->QueryInterface(&props);
    const ComPtr<IWMMediaProps> holdProps(props);
    DWORD size = 0;
    props->GetMediaType(nullptr, &size);
    std::vector<std::uint64_t> storage(size / 8 + 1);
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
    props->GetMediaType(type, &size);
    WAVEFORMATEX wave;
    std::memcpy(&wave, type->pbFormat, sizeof wave);
    if (wave.nSamplesPerSec == kRate && wave.nChannels == 2 &&
        wave.nAvgBytesPerSec * 8 == kKbps * 1000) {
      return std::vector<BYTE>(type->pbFormat, type->pbFormat + type->cbFormat);
    }
  }
  return {};
}

ComPtr<IWMProfile> Profile(std::vector<BYTE> block) {
  IWMProfileManager* manager = nullptr;
  WMCreateProfileManager(&manager);
  const ComPtr<IWMProfileManager> holdManager(manager);
  IWMProfile* profile = nullptr;
  manager->CreateEmptyProfile(WMT_VER_7_0, &profile);
  IWMStreamConfig* config = nullptr;
  profile->CreateNewStream(WMMEDIATYPE_Audio, &config);
  const ComPtr<IWMStreamConfig> holdConfig(config);
  config->SetStreamNumber(1);
  config->SetBitrate(kKbps * 1000);
  IWMMediaProps* props = nullptr;
  config->QueryInterface(&props);
  const ComPtr<IWMMediaProps> holdProps(props);
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(block.data());
  WM_MEDIA_TYPE type{WMMEDIATYPE_Audio, WMMEDIASUBTYPE_WMAudioV8, 1,       0,
                     wave->nBlockAlign, WMFORMAT_WaveFormatEx,    nullptr, ULONG(block.size()),
                     block.data()};
  props->SetMediaType(&type);
  profile->AddStream(config);
  return ComPtr<IWMProfile>(profile);
}

// The export as the codec makes it, from the WAV file's samples in 32 KiB chunks.
double Export(const std::string& wav, const std::string& output) {
  const Clock::time_point t0 = Clock::now();
  IWMWriter* writer = nullptr;
  WMCreateWriter(nullptr, &writer);
  const ComPtr<IWMWriter> holdWriter(writer);
  IWMWriterFileSink* sink = nullptr;
  WMCreateWriterFileSink(&sink);
  const ComPtr<IWMWriterFileSink> holdSink(sink);
  IWMWriterFileSink2* sink2 = nullptr;
  sink->QueryInterface(&sink2);
  const ComPtr<IWMWriterFileSink2> holdSink2(sink2);
  IWMWriterAdvanced* advanced = nullptr;
  writer->QueryInterface(&advanced);
  const ComPtr<IWMWriterAdvanced> holdAdvanced(advanced);
  advanced->AddSink(sink2);
  if (FAILED(writer->SetProfile(Profile(FindFormat()).get())) ||
      FAILED(sink2->Open(Wide(output).c_str())) || FAILED(writer->BeginWriting())) {
    return -1;
  }
  std::FILE* in = std::fopen(wav.c_str(), "rb");
  std::fseek(in, 44, SEEK_SET);
  std::vector<char> chunk(32768);
  for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), in)) > 0;) {
    INSSBuffer* sample = nullptr;
    writer->AllocateSample(static_cast<DWORD>(n), &sample);
    BYTE* data = nullptr;
    DWORD length = 0;
    sample->GetBufferAndLength(&data, &length);
    std::memcpy(data, chunk.data(), n);
    writer->WriteSample(0, 0, 0, sample);
    sample->Release();
  }
  std::fclose(in);
  if (FAILED(writer->EndWriting()) || FAILED(sink2->Close())) return -1;
  return Ms(Clock::now() - t0);
}

// Writes what the reader delivers to a file, moving the clock one second per OnTime.
class Loader : public IWMReaderCallback, public IWMReaderCallbackAdvanced {
 public:
  Loader(IWMReaderAdvanced* clock, std::FILE* out) : clock_(clock), out_(out) {}
  HRESULT OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE, BYTE*, void*) override {
    std::lock_guard lock(mutex_);
    if (status == WMT_OPENED) opened_ = hr;
    if (status == WMT_STARTED) clock_->DeliverTime(time_ += kSecond);
    if (status == WMT_EOF) done_ = true;
    changed_.notify_all();
    return S_OK;
  }
  HRESULT OnSample(DWORD, QWORD, QWORD, DWORD, INSSBuffer* sample, void*) override {
    BYTE* data = nullptr;
    DWORD length = 0;
    sample->GetBufferAndLength(&data, &length);
    std::fwrite(data, 1, length, out_);
    return S_OK;
  }
  HRESULT QueryInterface(IWMReaderCallbackAdvanced** advanced) override {
    *advanced = this;
    return S_OK;
  }
  HRESULT OnTime(QWORD, void*) override {
    clock_->DeliverTime(time_ += kSecond);
    return S_OK;
  }
  HRESULT WaitOpened() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return opened_ != 1; });
    return opened_;
  }
  void WaitDone() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return done_; });
  }

 private:
  IWMReaderAdvanced* clock_;
  std::FILE* out_;
  std::mutex mutex_;
  std::condition_variable changed_;
  HRESULT opened_ = 1;
  bool done_ = false;
  QWORD time_ = 0;
};

double Load(const std::string& wma, const std::string& output) {
  const Clock::time_point t0 = Clock::now();
  IWMReader* reader = nullptr;
  WMCreateReader(nullptr, 0, &reader);
  const ComPtr<IWMReader> holdReader(reader);
  IWMReaderAdvanced* advanced = nullptr;
  reader->QueryInterface(&advanced);
  const ComPtr<IWMReaderAdvanced> holdAdvanced(advanced);
  advanced->SetUserProvidedClock(1);
  std::FILE* out = std::fopen(output.c_str(), "wb");
  std::vector<char> header(44);
  std::fwrite(header.data(), 1, header.size(), out);
  Loader loader(advanced, out);
  if (FAILED(reader->Open(Wide(wma).c_str(), &loader, nullptr)) || FAILED(loader.WaitOpened()) ||
      FAILED(reader->Start(0, 0, 1.0f, nullptr))) {
    return -1;
  }
  loader.WaitDone();
  reader->Close();
  std::fclose(out);
  return Ms(Clock::now() - t0);
}

double CodecLoad(const std::string& wma, const std::string& cache) {
  const Clock::time_point t0 = Clock::now();
  WmaMusic source(wma);
  if (!source.GetMusicInfo()) return -1;
  WavMusic writer(cache);
  writer.info = source.info;
  writer.info.type = kMusicWav;
  DoneWaiter waiter;
  writer.progressWindow = &waiter;
  if (!writer.InitWriter() || !source.StartConvert(&writer)) return -1;
  waiter.Wait();
  return Ms(Clock::now() - t0);
}

double CodecExport(const std::string& wav, const std::string& output) {
  WavMusic source(wav);
  if (!source.GetMusicInfo()) return -1;
  const Clock::time_point t0 = Clock::now();
  WmaMusic writer(output);
  writer.info = source.info;
  writer.info.type = kMusicWma;
  writer.info.bitrate = kKbps;
  writer.info.tag.title = "bench";
  DoneWaiter waiter;
  writer.progressWindow = &waiter;
  if (!writer.InitWriter() || !source.ConvertRange(&writer, 0, kFrames, -1, -1)) return -1;
  waiter.Wait();
  return Ms(Clock::now() - t0);
}

void Report(const char* what, const std::vector<double>& layer, const std::vector<double>& codec,
            const std::vector<double>& ffmpeg) {
  const double l = Median(layer), c = Median(codec), f = Median(ffmpeg);
  std::printf("%s: layer %.0f ms (ratio %.2f), WmaMusic %.0f ms (ratio %.2f), ffmpeg %.0f ms\n",
              what, l, l / f, c, c / f, f);
}

}  // namespace

int main() {
  const std::string dir = std::filesystem::temp_directory_path() / "bench_wmf";
  std::filesystem::create_directories(dir);
  const std::string wav = dir + "/source.wav", ours = dir + "/ours.wma";
  const std::string theirs = dir + "/ffmpeg.wma";
  bench::WriteToneOverNoise(wav, kRate, kFrames);
  const std::string ffmpeg = "ffmpeg -v error -y -nostdin ";
  std::vector<double> exportLayer, exportCodec, exportFfmpeg, loadLayer, loadCodec, loadFfmpeg;
  for (int run = 0; run < kRuns; ++run) {
    exportFfmpeg.push_back(TimeCommand(ffmpeg + "-i " + wav + " -c:a wmav2 -b:a 128k " + theirs));
    exportLayer.push_back(Export(wav, ours));
    exportCodec.push_back(CodecExport(wav, ours));
    loadFfmpeg.push_back(TimeCommand(ffmpeg + "-i " + theirs + " " + dir + "/ffmpeg.wav"));
    loadLayer.push_back(Load(theirs, dir + "/ours.wav"));
    loadCodec.push_back(CodecLoad(theirs, dir + "/ours.wav"));
  }
  Report("export 10 min at 128 kbit/s", exportLayer, exportCodec, exportFfmpeg);
  Report("load 10 min WMA 2 into a WAV", loadLayer, loadCodec, loadFfmpeg);
  std::filesystem::remove_all(dir);
  return 0;
}
