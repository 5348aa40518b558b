#include "codecs/wma/wma_music.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <vector>

#include "codecs/wma/wma_profile.h"
#include "platform/byte_order.h"
#include "platform/wmf/wide_text.h"
#include "res/wma_texts.h"

using namespace platform::wmf;

namespace {

constexpr std::chrono::milliseconds kOpenWait{5000};
constexpr QWORD kSecond = 10'000'000;  // 100 ns units
// The runtime asks for a second wait with this result while the open is still going on.
constexpr HRESULT kOpenNotFinished = MakeHresult(0xC00D0033);
// A string attribute with its terminator and one more zero fits a 16-bit byte length.
constexpr std::size_t kMaxTagUnits = 0xFFFF / 2 - 2;

// Reading: the attribute, and the one read when it is absent.
struct TagRead {
  std::string MusicTag::*field;
  const char16_t* name;
  const char16_t* fallback;
};
constexpr TagRead kTagReads[] = {
    {&MusicTag::title, u"Title", u"WM/Title"},     {&MusicTag::artist, u"Author", u"WM/Author"},
    {&MusicTag::album, u"WM/AlbumTitle", nullptr}, {&MusicTag::track, u"WM/Track", nullptr},
    {&MusicTag::year, u"WM/Year", nullptr},        {&MusicTag::genre, u"WM/GenreID", nullptr},
};

// Writing: every attribute, in this order.
struct TagWrite {
  const char16_t* name;
  std::string MusicTag::*field;
};
constexpr TagWrite kTagWrites[] = {
    {u"Title", &MusicTag::title},         {u"Author", &MusicTag::artist},
    {u"WM/Title", &MusicTag::title},      {u"WM/Author", &MusicTag::artist},
    {u"WM/AlbumTitle", &MusicTag::album}, {u"WM/Track", &MusicTag::track},
    {u"WM/Year", &MusicTag::year},        {u"WM/GenreID", &MusicTag::genre},
};

// A little-endian number of at most `bytes` bytes from the start of `value`.
std::uint64_t Number(const std::vector<BYTE>& value, std::size_t bytes) {
  std::uint64_t n = 0;
  for (std::size_t i = std::min(bytes, value.size()); i-- > 0;) n = n << 8 | value[i];
  return n;
}

bool SameIgnoringAsciiCase(const std::u16string& a, const std::u16string& b) {
  const auto lower = [](char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
  };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

// An attribute value as text: numbers in decimal, anything else as UTF-16 up to its first
// zero character. False for text that is not well-formed.
bool AttributeText(WMT_ATTR_DATATYPE type, const std::vector<BYTE>& value, std::string* text) {
  switch (type) {
    case WMT_TYPE_DWORD: *text = std::to_string(Number(value, 4)); return true;
    case WMT_TYPE_QWORD: *text = std::to_string(Number(value, 8)); return true;
    case WMT_TYPE_WORD: *text = std::to_string(Number(value, 2)); return true;
    default: break;
  }
  std::u16string wide;
  for (std::size_t i = 0; i + 1 < value.size(); i += 2) {
    const char16_t unit = platform::LoadLe16(value.data() + i);
    if (unit == 0) break;
    wide.push_back(unit);
  }
  return Utf16ToUtf8(wide, text);
}

// Reads attribute `name` of stream 0 into *field when it is there and readable.
HRESULT ReadTextAttribute(IWMHeaderInfo* header, const char16_t* name, std::string* field) {
  WORD stream = 0;
  WORD length = 0;
  WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
  HRESULT hr = header->GetAttributeByName(&stream, name, &type, nullptr, &length);
  if (FAILED(hr)) return hr;
  std::vector<BYTE> value(length);
  hr = header->GetAttributeByName(&stream, name, &type, value.data(), &length);
  if (FAILED(hr)) return hr;
  value.resize(std::min<std::size_t>(length, value.size()));
  std::string text;
  if (AttributeText(type, value, &text)) *field = std::move(text);
  return S_OK;
}

// `text` as a string value: UTF-16LE with its terminator and one more zero character. Text
// that is not well-formed is written empty; longer text is cut at a character boundary.
std::vector<BYTE> StringValue(const std::string& text) {
  std::u16string wide;
  if (!Utf8ToUtf16(text, &wide)) wide.clear();
  if (wide.size() > kMaxTagUnits) {
    std::size_t keep = kMaxTagUnits;
    if (wide[keep - 1] >= 0xD800 && wide[keep - 1] <= 0xDBFF) --keep;  // a split pair
    wide.resize(keep);
  }
  std::vector<BYTE> value((wide.size() + 2) * 2, 0);
  for (std::size_t i = 0; i < wide.size(); ++i) platform::StoreLe16(&value[2 * i], wide[i]);
  return value;
}

}  // namespace

WmaMusic::WmaMusic(const std::string& path) : Music(path) {}

WmaMusic::~WmaMusic() {
  ReleaseReader();
  if (writing_) {
    writer_->EndWriting();
    fileSink2_->Close();
  }
  ReleaseWriter();
}

bool WmaMusic::Succeeded(HRESULT hr, const char* text) const {
  if (SUCCEEDED(hr)) return true;
  ReportError(text);
  return false;
}

// ---- Reader ------------------------------------------------------------------------------

bool WmaMusic::BeginSession() {
  if (target_.Target() != nullptr) {
    ReportError(texts::kWmaOpenUnknown);  // this object's decode is still running
    return false;
  }
  ReleaseReader();
  IWMReader* reader = nullptr;
  if (!Succeeded(WMCreateReader(nullptr, 0, &reader), texts::kWmaCreateReader)) return false;
  std::lock_guard lock(readerMutex_);
  reader_ = ComPtr<IWMReader>(reader);
  return true;
}

bool WmaMusic::OpenReader() {
  std::u16string wide;
  if (!Utf8ToUtf16(path, &wide)) {
    ReportError(texts::kWmaToUnicode);
    return false;
  }
  noRights_ = false;
  openedEvent_.Wait(std::chrono::milliseconds(0));  // a signal left by an open that timed out
  HRESULT hr = reader_->Open(wide.c_str(), this, this);
  if (SUCCEEDED(hr)) {
    if (!WaitOpened(texts::kWmaOpenTimeout1, &hr)) return false;
    if (noRights_) {
      ReportError(texts::kWmaProtected);
      return false;
    }
  }
  if (hr == kOpenNotFinished && !WaitOpened(texts::kWmaOpenTimeout2, &hr)) return false;
  return Succeeded(hr, texts::kWmaOpenUnknown);
}

bool WmaMusic::WaitOpened(const char* timeoutText, HRESULT* hr) {
  if (!openedEvent_.Wait(kOpenWait)) {
    ReportError(timeoutText);
    return false;
  }
  *hr = openResult_;
  return true;
}

void WmaMusic::ReleaseReader() {
  ComPtr<IWMReader> reader;
  {
    std::lock_guard lock(readerMutex_);
    reader = std::move(reader_);
  }
  // Close reports WMT_CLOSED (closing a decode still running) and joins the runtime thread.
  if (reader) reader->Close();
  readerAdvanced_ = {};
}

bool WmaMusic::GetMusicInfo() {
  if (!BeginSession()) return false;
  MusicInfo probed = info;
  probed.bitrate = 0;
  probed.durationMs = 0;
  const bool ok = OpenReader() && ReadHeader(&probed) && ReadOutputFormat(&probed);
  ReleaseReader();
  if (!ok) return false;
  if (probed.durationMs <= 0) {
    ReportError(texts::kWmaOpenUnknown);
    return false;
  }
  info.sampleRate = probed.sampleRate;
  info.channels = probed.channels;
  info.bitsPerSample = probed.bitsPerSample;
  info.bitrate = probed.bitrate;
  info.durationMs = probed.durationMs;
  return true;
}

bool WmaMusic::ReadHeader(MusicInfo* probed) {
  IWMHeaderInfo* header = nullptr;
  if (!Succeeded(reader_->QueryInterface(&header), texts::kWmaHeaderInfo)) return false;
  const ComPtr<IWMHeaderInfo> hold(header);
  WORD count = 0;
  if (!Succeeded(header->GetAttributeCount(0, &count), texts::kWmaAttributeCount)) return false;
  for (WORD index = 0; index < count; ++index) ReadAttribute(header, index, probed);
  return true;
}

void WmaMusic::ReadAttribute(IWMHeaderInfo* header, WORD index, MusicInfo* probed) {
  WORD stream = 0;
  WORD nameLength = 0;
  WORD valueLength = 0;
  WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
  if (FAILED(header->GetAttributeByIndex(index, &stream, nullptr, &nameLength, &type, nullptr,
                                         &valueLength))) {
    return;
  }
  std::u16string name(nameLength, u'\0');
  std::vector<BYTE> value(valueLength);
  if (FAILED(header->GetAttributeByIndex(index, &stream, name.data(), &nameLength, &type,
                                         value.data(), &valueLength))) {
    return;
  }
  name.resize(std::min(WideLength(name.data(), name.size()), name.size()));
  value.resize(std::min<std::size_t>(valueLength, value.size()));
  if (SameIgnoringAsciiCase(name, u"Bitrate")) {
    probed->bitrate = static_cast<std::int32_t>(Number(value, 4) / 1000);
  } else if (name == u"Duration") {
    const std::uint64_t units = Number(value, value.size() == 8 ? 8 : 4);
    probed->durationMs = static_cast<std::int64_t>(units / 10000);
  }
}

bool WmaMusic::ReadOutputFormat(MusicInfo* probed) {
  IWMOutputMediaProps* props = nullptr;
  if (!Succeeded(reader_->GetOutputProps(0, &props), texts::kWmaOutputProps)) return false;
  const ComPtr<IWMOutputMediaProps> hold(props);
  std::vector<std::uint64_t> storage;
  HRESULT hr = S_OK;
  const WM_MEDIA_TYPE* type = wma::CopyMediaType(props, &storage, &hr);
  if (!Succeeded(hr, texts::kWmaMediaType)) return false;
  const WAVEFORMATEX* wave = wma::WaveFormatOf(*type);
  if (!(type->majortype == WMMEDIATYPE_Audio) || wave == nullptr || wave->nChannels == 0 ||
      wave->nSamplesPerSec == 0 ||
      wave->nSamplesPerSec > static_cast<DWORD>(std::numeric_limits<std::int32_t>::max()) ||
      (wave->wBitsPerSample != 8 && wave->wBitsPerSample != 16)) {
    ReportError(texts::kWmaTypeMismatch);
    return false;
  }
  probed->sampleRate = static_cast<std::int32_t>(wave->nSamplesPerSec);
  probed->channels = wave->nChannels;
  probed->bitsPerSample = wave->wBitsPerSample;
  return true;
}

// ---- Decoding ----------------------------------------------------------------------------

bool WmaMusic::StartConvert(Music* target) {
  if (target == nullptr || !BeginSession()) return false;
  if (!OpenReader() || !PrepareDecode()) {
    ReleaseReader();
    return false;
  }
  clock_ = 0;
  target_.Arm(target);
  if (!Succeeded(reader_->Start(0, 0, 1.0f, this), texts::kWmaStart)) {
    target_.Arm(nullptr);  // nothing was started: the target is left alone
    ReleaseReader();
    return false;
  }
  return true;
}

bool WmaMusic::PrepareDecode() {
  IWMReaderAdvanced* advanced = nullptr;
  if (!Succeeded(reader_->QueryInterface(&advanced), texts::kWmaAdvanced)) return false;
  readerAdvanced_ = ComPtr<IWMReaderAdvanced>(advanced);
  return Succeeded(advanced->SetUserProvidedClock(1), texts::kWmaUserClock);
}

bool WmaMusic::CancelConvert() {
  std::lock_guard lock(readerMutex_);
  return reader_ && SUCCEEDED(reader_->Stop());
}

HRESULT WmaMusic::OnStatus(WMT_STATUS status, HRESULT hr, WMT_ATTR_DATATYPE, BYTE*, void*) {
  switch (status) {
    case WMT_OPENED:
      openResult_ = hr;
      openedEvent_.Set();
      break;
    case WMT_NO_RIGHTS: noRights_ = true; break;
    case WMT_STARTED: DeliverNextSecond(); break;
    case WMT_EOF:
    case WMT_STOPPED:
    case WMT_CLOSED: target_.Close(); break;
  }
  return S_OK;
}

HRESULT WmaMusic::OnSample(DWORD, QWORD, QWORD, DWORD, INSSBuffer* sample, void*) {
  BYTE* data = nullptr;
  DWORD length = 0;
  if (sample == nullptr || FAILED(sample->GetBufferAndLength(&data, &length))) return E_UNEXPECTED;
  Music* target = target_.Target();
  if (target != nullptr && !target->WriteSamples(data, length)) {
    target->writeFailed = true;
    CancelConvert();  // the stop that follows closes the target
  }
  return S_OK;
}

HRESULT WmaMusic::QueryInterface(IWMReaderCallbackAdvanced** advanced) {
  if (advanced == nullptr) return E_POINTER;
  *advanced = this;
  return S_OK;
}

HRESULT WmaMusic::OnTime(QWORD, void*) {
  DeliverNextSecond();
  return S_OK;
}

void WmaMusic::DeliverNextSecond() {
  clock_ += kSecond;
  if (readerAdvanced_) readerAdvanced_->DeliverTime(clock_);
}

// ---- Writer ------------------------------------------------------------------------------

bool WmaMusic::InitWriter() {
  ReleaseWriter();
  if (info.bitsPerSample != 8) info.bitsPerSample = 16;
  if (!CreateWriter() || !ConfigureWriter() || !BeginFile()) {
    ReleaseWriter();
    return false;
  }
  ResetProgress();
  return true;
}

bool WmaMusic::CreateWriter() {
  IWMWriter* writer = nullptr;
  if (!Succeeded(WMCreateWriter(nullptr, &writer), texts::kWmaCreateWriter)) return false;
  writer_ = ComPtr<IWMWriter>(writer);
  IWMWriterFileSink* sink = nullptr;
  if (!Succeeded(WMCreateWriterFileSink(&sink), texts::kWmaCreateSink)) return false;
  const ComPtr<IWMWriterFileSink> holdSink(sink);
  IWMWriterAdvanced* advanced = nullptr;
  if (!Succeeded(writer->QueryInterface(&advanced), texts::kWmaWriterAdvanced)) return false;
  const ComPtr<IWMWriterAdvanced> holdAdvanced(advanced);
  IWMWriterFileSink2* sink2 = nullptr;
  if (!Succeeded(sink->QueryInterface(&sink2), texts::kWmaSink2)) return false;
  fileSink2_ = ComPtr<IWMWriterFileSink2>(sink2);
  return Succeeded(advanced->AddSink(sink2), texts::kWmaAddSink);
}

bool WmaMusic::ConfigureWriter() {
  bytesPerSecond_ = std::int64_t{info.sampleRate} * info.bitsPerSample * info.channels / 8;
  ComPtr<IWMProfile> profile;
  if (FAILED(wma::BuildWmaProfile(info.sampleRate, info.channels, info.bitrate, &profile))) {
    ReportError(texts::kWmaNoFormat);
    return false;
  }
  if (!Succeeded(writer_->SetProfile(profile.get()), texts::kWmaSetProfile)) return false;
  return info.bitsPerSample != 8 ||
         Succeeded(wma::UseEightBitInput(writer_.get()), texts::kWmaSetProfile);
}

bool WmaMusic::BeginFile() {
  std::u16string wide;
  if (!Utf8ToUtf16(path, &wide)) {
    ReportError(texts::kWmaToUnicode);
    return false;
  }
  if (!Succeeded(fileSink2_->Open(wide.c_str()), texts::kWmaSinkOpen)) return false;
  writeTime_ = 0;
  writing_ = Succeeded(writer_->BeginWriting(), texts::kWmaBeginWriting);
  return writing_;
}

bool WmaMusic::WriteSamples(const std::uint8_t* data, std::int64_t length) {
  const bool written = WriteOneSample(data, length);
  if (!written) writeFailed = true;
  // Counted also when it failed, so that the progress still reaches its end.
  AddProgress(static_cast<std::uint64_t>(std::max<std::int64_t>(length, 0)));
  return written;
}

bool WmaMusic::WriteOneSample(const std::uint8_t* data, std::int64_t length) {
  if (length == 0) return true;
  INSSBuffer* sample = nullptr;
  if (!writing_ || length < 0 || length > std::numeric_limits<DWORD>::max() ||
      FAILED(writer_->AllocateSample(static_cast<DWORD>(length), &sample))) {
    ReportError(texts::kWmaAllocateSample);
    return false;
  }
  const ComPtr<INSSBuffer> hold(sample);
  BYTE* buffer = nullptr;
  DWORD capacity = 0;
  if (FAILED(sample->GetBufferAndLength(&buffer, &capacity)) || capacity < length) {
    ReportError(texts::kWmaBufferAndLength);
    return false;
  }
  std::memcpy(buffer, data, static_cast<std::size_t>(length));
  if (!Succeeded(writer_->WriteSample(0, static_cast<QWORD>(writeTime_), 0, sample),
                 texts::kWmaWriteSample)) {
    return false;
  }
  if (bytesPerSecond_ > 0)
    writeTime_ += (length * 10'000'000 + bytesPerSecond_ / 2) / bytesPerSecond_;
  return true;
}

bool WmaMusic::CloseWriter() {
  return CompleteClose([this] { return FinishFile(); });
}

bool WmaMusic::FinishFile() {
  if (!writing_) {
    ReportError(texts::kWmaEndWriting);
    return false;
  }
  writing_ = false;
  if (!Succeeded(writer_->EndWriting(), texts::kWmaEndWriting)) return false;
  if (!Succeeded(fileSink2_->Close(), texts::kWmaSinkClose)) return false;
  ReleaseWriter();
  return true;
}

void WmaMusic::ReleaseWriter() {
  fileSink2_ = {};
  writer_ = {};
  writing_ = false;
}

// ---- Tags --------------------------------------------------------------------------------

ComPtr<IWMMetadataEditor> WmaMusic::OpenEditor(ComPtr<IWMHeaderInfo>* header) {
  std::u16string wide;
  if (!Utf8ToUtf16(path, &wide)) {
    ReportError(texts::kWmaToUnicode);
    return {};
  }
  IWMMetadataEditor* created = nullptr;
  if (!Succeeded(WMCreateEditor(&created), texts::kWmaCreateEditor)) return {};
  ComPtr<IWMMetadataEditor> editor(created);
  if (!Succeeded(editor->Open(wide.c_str()), texts::kWmaEditorOpen)) return {};
  IWMHeaderInfo* info = nullptr;
  if (!Succeeded(editor->QueryInterface(&info), texts::kWmaEditorHeader)) {
    editor->Close();
    return {};
  }
  *header = ComPtr<IWMHeaderInfo>(info);
  return editor;
}

bool WmaMusic::ReadTags() {
  ComPtr<IWMHeaderInfo> header;
  const ComPtr<IWMMetadataEditor> editor = OpenEditor(&header);
  if (!editor) return false;
  for (const TagRead& row : kTagReads) {
    std::string* field = &(info.tag.*row.field);
    const HRESULT hr = ReadTextAttribute(header.get(), row.name, field);
    if (hr == ASF_E_NOTFOUND && row.fallback != nullptr) {
      ReadTextAttribute(header.get(), row.fallback, field);
    }
  }
  return Succeeded(editor->Close(), texts::kWmaEditorClose);
}

bool WmaMusic::WriteTags() {
  if (!HasTags()) return true;
  ComPtr<IWMHeaderInfo> header;
  const ComPtr<IWMMetadataEditor> editor = OpenEditor(&header);
  if (!editor) return false;
  for (const TagWrite& row : kTagWrites) {
    const std::vector<BYTE> value = StringValue(info.tag.*row.field);
    header->SetAttribute(0, row.name, WMT_TYPE_STRING, value.data(),
                         static_cast<WORD>(value.size()));
  }
  const bool flushed = SUCCEEDED(editor->Flush());
  return Succeeded(editor->Close(), texts::kWmaEditorClose) && flushed;
}
