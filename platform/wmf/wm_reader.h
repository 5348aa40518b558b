// The asynchronous reader: one runtime thread per open file runs the callbacks, paced by the
// caller's clock (see the threading contract in platform/wmf/wmf.h).
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/wmf/asf_media_file.h"
#include "platform/wmf/com_object.h"
#include "platform/wmf/nss_buffer.h"

namespace platform::wmf {

class WMReader final : public ComObject<IWMReader, IWMReaderAdvanced, IWMHeaderInfo> {
 public:
  WMReader();
  ULONG Release() override;

  HRESULT Open(const WCHAR* url, IWMReaderCallback* callback, void* context) override;
  HRESULT Close() override;
  HRESULT GetOutputProps(DWORD output, IWMOutputMediaProps** props) override;
  HRESULT Start(QWORD start, QWORD duration, float rate, void* context) override;
  HRESULT Stop() override;
  HRESULT QueryInterface(IWMReaderAdvanced** advanced) override;
  HRESULT QueryInterface(IWMHeaderInfo** headerInfo) override;

  HRESULT SetUserProvidedClock(BOOL userClock) override;
  HRESULT DeliverTime(QWORD time) override;

  HRESULT GetAttributeCount(WORD stream, WORD* count) override;
  HRESULT GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                              WMT_ATTR_DATATYPE* type, BYTE* value, WORD* valueLength) override;
  HRESULT GetAttributeByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type, BYTE* value,
                             WORD* valueLength) override;
  HRESULT SetAttribute(WORD stream, const WCHAR* name, WMT_ATTR_DATATYPE type, const BYTE* value,
                       WORD length) override;

 private:
  // kFailed: the open failed; kClosed: Close was handled; both until the thread is joined.
  enum class Phase { kIdle, kOpening, kOpen, kFailed, kClosed };
  enum class Work { kLeave, kClose, kStop, kStart, kTime, kDecode };

  ~WMReader() override;
  bool OnRuntimeThread() const;
  HRESULT BeginSession(std::string path, IWMReaderCallback* callback, void* context);
  void JoinThread();

  // Runtime thread.
  void Run(std::string path);
  HRESULT OpenMedia(const std::string& path, bool* protectedFile);
  void Serve();
  Work NextWork();
  bool DecodeBlock();
  bool Notify(WMT_STATUS status, HRESULT hr);
  bool StillServing();
  void Leave();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::thread thread_;
  std::atomic<std::thread::id> runtimeId_{};
  std::atomic<bool> abort_{false};
  ComPtr<NSSBuffer> sample_;

  // Guarded by mutex_.
  Phase phase_ = Phase::kIdle;
  std::unique_ptr<AsfMediaFile> media_;
  bool userClock_ = false;
  bool started_ = false;
  bool running_ = false;
  bool startPending_ = false;
  bool stopPending_ = false;
  bool closePending_ = false;
  bool timeOwed_ = false;
  bool shutdown_ = false;  // final release outside the runtime thread
  bool released_ = false;  // final release inside a callback
  QWORD deliverUntil_ = 0;
  QWORD position_ = 0;  // end of the samples delivered (100 ns)
  void* startContext_ = nullptr;

  // Set before the runtime thread starts, then used by it alone.
  IWMReaderCallback* callback_ = nullptr;
  IWMReaderCallbackAdvanced* advanced_ = nullptr;
  void* context_ = nullptr;
  std::uint64_t framesDelivered_ = 0;
  QWORD timeToReport_ = 0;
};

}  // namespace platform::wmf
