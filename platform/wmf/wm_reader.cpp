#include "platform/wmf/wm_reader.h"

#include <taglib/tfilestream.h>

#include <algorithm>
#include <chrono>
#include <system_error>

#include "platform/wmf/media_props.h"
#include "platform/wmf/wide_text.h"

namespace platform::wmf {

namespace {

constexpr QWORD kUnitsPerSecond = 10000000;

// Runtime threads of readers freed inside a callback end by themselves; process exit waits
// for them. The registry is never destroyed, so a late thread cannot touch a dead one.
struct DetachedThreads {
  std::mutex mutex;
  std::condition_variable ended;
  int live = 0;
};

DetachedThreads& Detached() {
  static auto* threads = new DetachedThreads;
  return *threads;
}

struct WaitForDetachedAtExit {
  ~WaitForDetachedAtExit() {
    DetachedThreads& threads = Detached();
    std::unique_lock lock(threads.mutex);
    threads.ended.wait_for(lock, std::chrono::seconds(10), [&] { return threads.live == 0; });
  }
} waitForDetachedAtExit;

QWORD FramesToTime(std::uint64_t frames, int rate) {
  const auto r = static_cast<std::uint64_t>(rate);
  return frames / r * kUnitsPerSecond + frames % r * kUnitsPerSecond / r;
}

}  // namespace

WMReader::WMReader() : sample_(NSSBuffer::View()) {
  if (!sample_) throw std::bad_alloc();
  Detached();
}

WMReader::~WMReader() { JoinThread(); }

ULONG WMReader::Release() {
  const ULONG left = DropReference();
  if (left != 0) return left;
  if (OnRuntimeThread()) {
    // Inside a callback: the runtime thread frees the reader once the callback returns.
    std::lock_guard lock(mutex_);
    released_ = true;
    abort_ = true;
    return 0;
  }
  {
    std::lock_guard lock(mutex_);
    shutdown_ = true;
    abort_ = true;
    wake_.notify_all();
  }
  JoinThread();
  delete this;
  return 0;
}

bool WMReader::OnRuntimeThread() const { return runtimeId_.load() == std::this_thread::get_id(); }

void WMReader::JoinThread() {
  if (thread_.joinable()) thread_.join();
}

HRESULT WMReader::Open(const WCHAR* url, IWMReaderCallback* callback, void* context) {
  return Guarded([&] {
    if (callback == nullptr) return E_POINTER;
    std::string path;
    const HRESULT hr = PathFromWide(url, &path);
    if (FAILED(hr)) return hr;
    if (OnRuntimeThread()) return NS_E_INVALID_REQUEST;
    {
      std::lock_guard lock(mutex_);
      if (phase_ == Phase::kOpening || phase_ == Phase::kOpen) return NS_E_INVALID_REQUEST;
    }
    JoinThread();  // of a session that failed or was closed inside a callback
    return BeginSession(std::move(path), callback, context);
  });
}

HRESULT WMReader::BeginSession(std::string path, IWMReaderCallback* callback, void* context) {
  IWMReaderCallbackAdvanced* advanced = nullptr;
  if (FAILED(callback->QueryInterface(&advanced))) advanced = nullptr;
  std::lock_guard lock(mutex_);
  media_.reset();
  phase_ = Phase::kOpening;
  started_ = running_ = startPending_ = stopPending_ = closePending_ = timeOwed_ = false;
  deliverUntil_ = position_ = 0;
  abort_ = false;
  callback_ = callback;
  advanced_ = advanced;
  context_ = context;
  framesDelivered_ = 0;
  try {
    thread_ = std::thread(&WMReader::Run, this, std::move(path));
  } catch (const std::system_error&) {
    phase_ = Phase::kIdle;
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

HRESULT WMReader::Close() {
  return Guarded([&] {
    // The callback may drop the caller's last reference while this call waits.
    const ComPtr<WMReader> keep = ComPtr<WMReader>::Share(this);
    std::unique_lock lock(mutex_);
    if (OnRuntimeThread()) {
      if (phase_ != Phase::kOpen) return NS_E_INVALID_REQUEST;
      closePending_ = true;
      abort_ = true;
      return S_OK;
    }
    if (phase_ == Phase::kIdle) return NS_E_INVALID_REQUEST;
    if (phase_ == Phase::kOpening || phase_ == Phase::kOpen) {
      closePending_ = true;
      abort_ = true;
      wake_.notify_all();
    }
    lock.unlock();
    JoinThread();
    lock.lock();
    phase_ = Phase::kIdle;
    media_.reset();
    return S_OK;
  });
}

HRESULT WMReader::GetOutputProps(DWORD output, IWMOutputMediaProps** props) {
  return Guarded([&] {
    if (props == nullptr) return E_POINTER;
    std::lock_guard lock(mutex_);
    if (phase_ != Phase::kOpen) return NS_E_INVALID_REQUEST;
    if (output != 0) return E_INVALIDARG;
    const MediaSource& media = media_->media();
    *props =
        new MediaProps<IWMOutputMediaProps>(MediaType::Pcm(media.rate(), media.channels(), 16));
    return S_OK;
  });
}

HRESULT WMReader::Start(QWORD start, QWORD duration, float rate, void* context) {
  if (start != 0 || duration != 0 || !(rate > 0)) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  if (phase_ != Phase::kOpen || started_ || !userClock_) return NS_E_INVALID_REQUEST;
  started_ = startPending_ = true;
  startContext_ = context;
  wake_.notify_all();
  return S_OK;
}

HRESULT WMReader::Stop() {
  std::lock_guard lock(mutex_);
  if (phase_ != Phase::kOpen) return NS_E_INVALID_REQUEST;
  startPending_ = false;
  stopPending_ = true;
  wake_.notify_all();
  return S_OK;
}

HRESULT WMReader::QueryInterface(IWMReaderAdvanced** advanced) { return Answer(this, advanced); }
HRESULT WMReader::QueryInterface(IWMHeaderInfo** headerInfo) { return Answer(this, headerInfo); }

HRESULT WMReader::SetUserProvidedClock(BOOL userClock) {
  std::lock_guard lock(mutex_);
  userClock_ = userClock != 0;
  return S_OK;
}

HRESULT WMReader::DeliverTime(QWORD time) {
  std::lock_guard lock(mutex_);
  if (phase_ != Phase::kOpen) return NS_E_INVALID_REQUEST;
  deliverUntil_ = std::max(deliverUntil_, time);
  timeOwed_ = true;
  wake_.notify_all();
  return S_OK;
}

HRESULT WMReader::GetAttributeCount(WORD stream, WORD* count) {
  std::lock_guard lock(mutex_);
  if (phase_ != Phase::kOpen) return NS_E_INVALID_REQUEST;
  return media_->attributes().GetCount(stream, count);
}

HRESULT WMReader::GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                      WMT_ATTR_DATATYPE* type, BYTE* value, WORD* valueLength) {
  std::lock_guard lock(mutex_);
  if (phase_ != Phase::kOpen) return NS_E_INVALID_REQUEST;
  return media_->attributes().GetByIndex(index, stream, name, nameLength, type, value, valueLength);
}

HRESULT WMReader::GetAttributeByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type,
                                     BYTE* value, WORD* valueLength) {
  std::lock_guard lock(mutex_);
  if (phase_ != Phase::kOpen) return NS_E_INVALID_REQUEST;
  return media_->attributes().GetByName(stream, name, type, value, valueLength);
}

HRESULT WMReader::SetAttribute(WORD, const WCHAR*, WMT_ATTR_DATATYPE, const BYTE*, WORD) {
  return NS_E_INVALID_REQUEST;  // the reader's header is read-only
}

void WMReader::Run(std::string path) {
  runtimeId_.store(std::this_thread::get_id());
  bool protectedFile = false;
  const HRESULT hr = Guarded([&] { return OpenMedia(path, &protectedFile); });
  {
    std::lock_guard lock(mutex_);
    phase_ = SUCCEEDED(hr) ? Phase::kOpen : Phase::kFailed;
  }
  if ((!protectedFile || Notify(WMT_NO_RIGHTS, E_ACCESSDENIED)) && Notify(WMT_OPENED, hr)) {
    Serve();
  }
  Leave();
}

HRESULT WMReader::OpenMedia(const std::string& path, bool* protectedFile) {
  HRESULT hr = S_OK;
  std::unique_ptr<ByteSource> bytes = ByteSource::OpenFile(path, &hr);
  if (!bytes) return hr;
  TagLib::FileStream tags(path.c_str(), true);
  auto media = std::make_unique<AsfMediaFile>();
  hr = media->Open(std::move(bytes), tags.isOpen() ? &tags : nullptr, &abort_);
  *protectedFile = media->isProtected();
  if (FAILED(hr)) return hr;
  std::lock_guard lock(mutex_);
  media_ = std::move(media);
  return S_OK;
}

void WMReader::Serve() {
  for (;;) {
    bool more = true;
    switch (NextWork()) {
      case Work::kLeave: return;
      case Work::kClose: Notify(WMT_CLOSED, S_OK); return;
      case Work::kStop: more = Notify(WMT_STOPPED, S_OK); break;
      case Work::kStart: more = Notify(WMT_STARTED, S_OK); break;
      case Work::kTime:
        if (advanced_ != nullptr) advanced_->OnTime(timeToReport_, context_);
        more = StillServing();
        break;
      case Work::kDecode: more = DecodeBlock(); break;
    }
    if (!more) return;
  }
}

// Waits for the next thing to do, in order of precedence.
WMReader::Work WMReader::NextWork() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (shutdown_ || released_) return Work::kLeave;
    if (closePending_) {
      closePending_ = running_ = false;
      phase_ = Phase::kClosed;
      return Work::kClose;
    }
    if (phase_ != Phase::kOpen) return Work::kLeave;
    if (stopPending_) {
      stopPending_ = running_ = false;
      return Work::kStop;
    }
    if (startPending_) {
      startPending_ = false;
      running_ = true;
      context_ = startContext_;
      return Work::kStart;
    }
    if (running_ && position_ < deliverUntil_) return Work::kDecode;
    if (running_ && timeOwed_) {
      timeOwed_ = false;
      timeToReport_ = deliverUntil_;
      return Work::kTime;
    }
    wake_.wait(lock);
  }
}

bool WMReader::DecodeBlock() {
  MediaSource& media = media_->media();
  const std::uint8_t* pcm = nullptr;
  std::size_t frames = 0;
  if (!media.NextBlock(&pcm, &frames)) {
    if (abort_) return true;  // a close or a release stopped it; NextWork takes over
    {
      std::lock_guard lock(mutex_);
      running_ = timeOwed_ = false;
    }
    return Notify(WMT_EOF, S_OK);
  }
  const QWORD start = FramesToTime(framesDelivered_, media.rate());
  framesDelivered_ += frames;
  const QWORD end = FramesToTime(framesDelivered_, media.rate());
  {
    std::lock_guard lock(mutex_);
    position_ = end;
  }
  sample_->Show(pcm, static_cast<DWORD>(frames * media.channels() * 2));
  callback_->OnSample(0, start, end - start, 0, sample_.get(), context_);
  return StillServing();
}

// Reports a status; false when the reader was released meanwhile and must call nothing more.
bool WMReader::Notify(WMT_STATUS status, HRESULT hr) {
  callback_->OnStatus(status, hr, WMT_TYPE_DWORD, nullptr, context_);
  return StillServing();
}

bool WMReader::StillServing() {
  std::lock_guard lock(mutex_);
  return !shutdown_ && !released_;
}

void WMReader::Leave() {
  bool freeHere = false;
  {
    std::lock_guard lock(mutex_);
    freeHere = released_;
  }
  if (!freeHere) {
    runtimeId_.store(std::thread::id());
    return;
  }
  // Nobody holds the reader any more: free it on this thread, which then ends by itself.
  DetachedThreads& threads = Detached();
  {
    std::lock_guard lock(threads.mutex);
    ++threads.live;
  }
  thread_.detach();
  delete this;
  std::lock_guard lock(threads.mutex);
  --threads.live;
  threads.ended.notify_all();
}

}  // namespace platform::wmf
