// Shared pieces of the runtime layer's tests: a reader callback that records what it is told
// and drives the clock as the WMA codec does, attribute and text helpers, and the public
// tools (ffmpeg, ffprobe) as makers and oracles of test files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/wmf/com_object.h"
#include "platform/wmf/wide_text.h"
#include "platform/wmf/wmf.h"
#include "tests/support/test_files.h"

namespace wmf_test {

using namespace platform::wmf;
using testing_support::RunCommand;

constexpr QWORD kSecond = 10000000;

inline std::u16string W(const std::string& utf8) {
  std::u16string wide;
  EXPECT_TRUE(Utf8ToUtf16(utf8, &wide)) << utf8;
  return wide;
}

inline std::string Quote(const std::string& path) { return "'" + path + "'"; }

// One ffprobe entry of the first audio stream or the format ("stream=sample_rate",
// "format=duration", "format_tags=title"), without the line end.
inline std::string Probe(const std::string& path, const std::string& entry) {
  std::string out = RunCommand("ffprobe -v error -select_streams a:0 -show_entries " + entry +
                               " -of default=nw=1:nk=1 " + Quote(path));
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// ffmpeg's own decode of a file as interleaved 16-bit PCM.
inline std::string FfmpegPcm(const std::string& path) {
  return RunCommand("ffmpeg -v error -i " + Quote(path) + " -f s16le -");
}

// Runs ffmpeg with `args`; true when it succeeded.
inline bool Ffmpeg(const std::string& args) {
  int status = -1;
  RunCommand("ffmpeg -v error -y " + args + " 2>&1", &status);
  return status == 0;
}

// A test signal of `seconds` at `rate`: a tone on the first channel, noise on the second.
inline std::string Signal(int rate, int channels, double seconds) {
  const std::string r = std::to_string(rate);
  const std::string d = std::to_string(seconds);
  if (channels == 1) return "-f lavfi -i sine=f=440:r=" + r + ":d=" + d;
  return "-f lavfi -i sine=f=440:r=" + r + ":d=" + d + " -f lavfi -i anoisesrc=r=" + r +
         ":a=0.3:seed=5:d=" + d + " -filter_complex amerge";
}

// The value of attribute `name`, or nothing when the header answers ASF_E_NOTFOUND.
inline std::optional<std::vector<BYTE>> Attribute(IWMHeaderInfo* header, const std::u16string& name,
                                                  WMT_ATTR_DATATYPE* type = nullptr) {
  WORD stream = 0, length = 0;
  WMT_ATTR_DATATYPE kind = WMT_TYPE_DWORD;
  HRESULT hr = header->GetAttributeByName(&stream, name.c_str(), &kind, nullptr, &length);
  if (hr == ASF_E_NOTFOUND) return std::nullopt;
  EXPECT_EQ(hr, S_OK);
  std::vector<BYTE> value(length);
  hr = header->GetAttributeByName(&stream, name.c_str(), &kind, value.data(), &length);
  EXPECT_EQ(hr, S_OK);
  if (type != nullptr) *type = kind;
  return value;
}

// A string value (UTF-16 up to its terminator) as UTF-8.
inline std::string Text(const std::vector<BYTE>& value) {
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
    const auto unit = static_cast<char16_t>(value[i] | value[i + 1] << 8);
    if (unit == 0) break;
    wide.push_back(unit);
  }
  std::string text;
  EXPECT_TRUE(Utf16ToUtf8(wide, &text));
  return text;
}

inline std::uint64_t Number(const std::vector<BYTE>& value) {
  std::uint64_t n = 0;
  for (std::size_t i = value.size(); i-- > 0;) n = n << 8 | value[i];
  return n;
}

// The object an out-parameter call such as WMCreateEditor gives, held; a failure fails the test.
template <class I, class Call>
ComPtr<I> Made(Call call) {
  I* object = nullptr;
  EXPECT_EQ(call(&object), S_OK);
  return ComPtr<I>(object);
}

// `object` under interface `I`, held.
template <class I, class T>
ComPtr<I> Query(T* object) {
  return Made<I>([object](I** out) { return object->QueryInterface(out); });
}

// The media type of `props` copied the two-call way, in a buffer of its own.
class MediaTypeCopy {
 public:
  explicit MediaTypeCopy(IWMMediaProps* props) {
    DWORD size = 0;
    EXPECT_EQ(props->GetMediaType(nullptr, &size), S_OK);
    storage_.resize(size / 8 + 1);
    EXPECT_EQ(props->GetMediaType(get(), &size), S_OK);
  }
  WM_MEDIA_TYPE* get() { return reinterpret_cast<WM_MEDIA_TYPE*>(storage_.data()); }
  WM_MEDIA_TYPE* operator->() { return get(); }
  WAVEFORMATEX* wave() { return reinterpret_cast<WAVEFORMATEX*>(get()->pbFormat); }

 private:
  std::vector<std::uint64_t> storage_;
};

// Records every callback; with a clock step it answers the start and each OnTime with the
// next step, as the WMA codec does. A callback after Forbid() is a test failure.
class ReaderHarness : public IWMReaderCallback, public IWMReaderCallbackAdvanced {
 public:
  struct Status {
    WMT_STATUS status;
    HRESULT hr;
  };

  explicit ReaderHarness(QWORD step = kSecond) : step_(step) {}

  void SetClock(IWMReaderAdvanced* advanced) { advanced_ = advanced; }
  void Forbid() { forbidden_ = true; }
  // Acts as the WMA codec on a reader whose references (reader and clock) it takes over: it
  // stops the reader inside the `stopAfter`-th OnSample and drops both references inside the
  // callback that ends the decode, after which nothing may be called back.
  void Own(IWMReader* reader, int stopAfter) {
    owned_ = reader;
    stopAfter_ = stopAfter;
  }

  HRESULT OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE, BYTE*, void*) override {
    Check();
    std::lock_guard lock(mutex_);
    statuses_.push_back({status, hr});
    if (status == WMT_STARTED && step_ > 0) advanced_->DeliverTime(clock_ += step_);
    if (owned_ != nullptr && (status == WMT_EOF || status == WMT_STOPPED)) {
      advanced_->Release();
      owned_->Release();
      owned_ = nullptr;
      forbidden_ = true;
    }
    changed_.notify_all();
    return S_OK;
  }
  HRESULT OnSample(DWORD output, QWORD time, QWORD duration, DWORD, INSSBuffer* sample,
                   void*) override {
    Check();
    BYTE* data = nullptr;
    DWORD length = 0;
    EXPECT_EQ(sample->GetBufferAndLength(&data, &length), S_OK);
    std::lock_guard lock(mutex_);
    EXPECT_EQ(output, 0u);
    EXPECT_EQ(time, seen_.end) << "samples follow each other without gaps";
    seen_.end = time + duration;
    seen_.lastStart = time;
    seen_.pcm.append(reinterpret_cast<const char*>(data), length);
    if (++seen_.samples == stopAfter_) {
      EXPECT_EQ(owned_->Stop(), S_OK);
    }
    changed_.notify_all();
    return S_OK;
  }
  HRESULT QueryInterface(IWMReaderCallbackAdvanced** advanced) override {
    *advanced = this;
    return S_OK;
  }
  HRESULT OnTime(QWORD time, void*) override {
    Check();
    std::lock_guard lock(mutex_);
    times_.push_back(time);
    if (step_ > 0) advanced_->DeliverTime(clock_ += step_);
    changed_.notify_all();
    return S_OK;
  }

  // Waits until `status` was reported; its result goes to *hr.
  bool WaitFor(WMT_STATUS status, HRESULT* hr = nullptr) {
    return Until([&] {
      const auto found = std::find_if(statuses_.begin(), statuses_.end(),
                                      [status](const Status& s) { return s.status == status; });
      if (found != statuses_.end() && hr != nullptr) *hr = found->hr;
      return found != statuses_.end();
    });
  }
  bool WaitForSamples(int count) {
    return Until([&] { return seen_.samples >= count; });
  }
  // Waits until OnTime(time) was called.
  bool WaitForTime(QWORD time) {
    return Until([&] { return !times_.empty() && times_.back() >= time; });
  }

  // What was delivered so far.
  struct Seen {
    std::vector<WMT_STATUS> statuses;
    std::string pcm;
    QWORD lastStart = 0;  // of the last sample
    QWORD end = 0;        // of the last sample
    int samples = 0;
  };
  Seen seen() const {
    std::lock_guard lock(mutex_);
    Seen copy = seen_;
    for (const Status& s : statuses_) copy.statuses.push_back(s.status);
    return copy;
  }

 private:
  template <class Done>
  bool Until(Done done) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), done);
  }
  void Check() const {
    if (forbidden_) ADD_FAILURE() << "a callback after the reader was closed or released";
  }

  const QWORD step_;
  IWMReaderAdvanced* advanced_ = nullptr;
  std::atomic<bool> forbidden_{false};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Status> statuses_;
  std::vector<QWORD> times_;
  Seen seen_;
  QWORD clock_ = 0;
  IWMReader* owned_ = nullptr;
  int stopAfter_ = 0;
};

// A reader with the user clock on, opened on a file and waited for.
class TestReader {
 public:
  explicit TestReader(QWORD step = kSecond)
      : harness_(step),
        reader_(Made<IWMReader>([](IWMReader** r) { return WMCreateReader(nullptr, 0, r); })),
        advanced_(Query<IWMReaderAdvanced>(reader_.get())) {
    EXPECT_EQ(advanced_->SetUserProvidedClock(1), S_OK);
    harness_.SetClock(advanced_.get());
  }

  // Opens `path` and returns the result WMT_OPENED reported.
  HRESULT Open(const std::string& path) {
    const HRESULT hr = reader_->Open(W(path).c_str(), &harness_, this);
    if (FAILED(hr)) return hr;
    HRESULT opened = S_OK;
    EXPECT_TRUE(harness_.WaitFor(WMT_OPENED, &opened));
    return opened;
  }
  ComPtr<IWMHeaderInfo> header() { return Query<IWMHeaderInfo>(reader_.get()); }
  // Starts and waits for the end of the file.
  void ReadToEnd() {
    ASSERT_EQ(reader_->Start(0, 0, 1.0f, this), S_OK);
    ASSERT_TRUE(harness_.WaitFor(WMT_EOF));
  }
  // Hands the reader and its clock over to the harness, which stops and drops them as the WMA
  // codec does (see ReaderHarness::Own).
  void HandOver(int stopAfter) {
    advanced_.Detach();
    harness_.Own(reader_.Detach(), stopAfter);
  }
  // The final release: joins the runtime thread, after which nothing may be called back.
  void Release() {
    advanced_ = {};
    reader_ = {};
    harness_.Forbid();
  }

  IWMReader* reader() { return reader_.get(); }
  IWMReaderAdvanced* advanced() { return advanced_.get(); }
  ReaderHarness& harness() { return harness_; }

 private:
  ReaderHarness harness_;
  ComPtr<IWMReader> reader_;
  ComPtr<IWMReaderAdvanced> advanced_;
};

// Byte-level surgery on an ASF header, to make damaged and protected files from good ones.
class AsfBytes {
 public:
  explicit AsfBytes(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

  std::vector<std::uint8_t>& bytes() { return bytes_; }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::uint64_t headerSize() const { return Get(16, 8); }

  // Offset of the first top-level header object whose GUID starts with `first` (its first
  // four stored bytes, little-endian Data1), or 0.
  std::size_t Find(std::uint32_t first) const {
    for (std::size_t pos = 30; pos + 24 <= headerSize();) {
      if (Get(pos, 4) == first) return pos;
      pos += static_cast<std::size_t>(Get(pos + 16, 8));
    }
    return 0;
  }
  std::uint64_t Get(std::size_t at, int bytes) const {
    std::uint64_t v = 0;
    for (int i = bytes; i-- > 0;) v = v << 8 | bytes_[at + i];
    return v;
  }
  void Put(std::size_t at, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) bytes_[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
  }
  // Inserts an object (GUID bytes and body) at `at`, growing the header and, for `parent`
  // (a header extension's offset, or 0), that object and its data size too.
  void Insert(std::size_t at, const std::vector<std::uint8_t>& guid,
              const std::vector<std::uint8_t>& body, std::size_t parent = 0) {
    std::vector<std::uint8_t> object(guid);
    object.resize(24);
    object.insert(object.end(), body.begin(), body.end());
    const std::uint64_t size = object.size();
    for (int i = 0; i < 8; ++i) object[16 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    bytes_.insert(bytes_.begin() + static_cast<std::ptrdiff_t>(at), object.begin(), object.end());
    Put(16, headerSize() + size, 8);
    if (parent == 0) {
      Put(24, Get(24, 4) + 1, 4);
    } else {
      Put(parent + 16, Get(parent + 16, 8) + size, 8);
      Put(parent + 42, Get(parent + 42, 4) + size, 4);
    }
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

// GUIDs as stored in a file.
inline std::vector<std::uint8_t> GuidBytes(std::uint32_t d1, std::uint16_t d2, std::uint16_t d3,
                                           const std::array<std::uint8_t, 8>& d4) {
  std::vector<std::uint8_t> g(16);
  for (int i = 0; i < 4; ++i) g[i] = static_cast<std::uint8_t>(d1 >> (8 * i));
  for (int i = 0; i < 2; ++i) g[4 + i] = static_cast<std::uint8_t>(d2 >> (8 * i));
  for (int i = 0; i < 2; ++i) g[6 + i] = static_cast<std::uint8_t>(d3 >> (8 * i));
  std::copy(d4.begin(), d4.end(), g.begin() + 8);
  return g;
}

constexpr std::uint32_t kFileProperties = 0x8CABDCA1;
constexpr std::uint32_t kHeaderExtension = 0x5FBF03B5;
constexpr std::uint32_t kContentDescription = 0x75B22633;
constexpr std::uint32_t kExtendedContentDescription = 0xD2D0A440;

}  // namespace wmf_test
