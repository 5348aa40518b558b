// Windows Media Audio files through the Windows Media runtime layer (platform/wmf): the
// reader, paced by this object's own clock one second of media at a time, probes and
// decodes; the writer, with a profile built from the runtime's codec listing, encodes; the
// metadata editor reads and writes the tags ("Title"/"WM/Title", "Author"/"WM/Author",
// "WM/AlbumTitle", "WM/Track", "WM/Year", "WM/GenreID").
//
// Decoding: StartConvert opens the file (each of the two waits for the runtime bounded by
// 5 s) and returns; PCM (16-bit, the file's rate and channel count) reaches the target on the
// reader's runtime thread. The end of the file, a cancel and a write the target refuses (which
// marks the target's writeFailed and cancels) each end the decode there with exactly one
// target->CloseWriter(). The object keeps its reader until the next open or its destruction,
// which joins the runtime thread, so nothing is called back on a destroyed object; a decode
// still running then is closed too. One open at a time: GetMusicInfo or StartConvert while
// this object's decode runs fails without touching it.
//
// Writing: InitWriter takes info's rate, channels and bitrate; the input is 8-bit PCM when
// info.bitsPerSample is 8, else 16-bit (InitWriter sets info.bitsPerSample to 16, so wider
// sources are narrowed before they arrive). WriteSamples takes whole frames. A writer destroyed
// before its final CloseWriter finishes its file (without tags, without a message).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "codecs/close_once.h"
#include "codecs/music.h"
#include "platform/event.h"
#include "platform/wmf/com_object.h"
#include "platform/wmf/wmf.h"

class WmaMusic : public Music,
                 private platform::wmf::IWMReaderCallback,
                 private platform::wmf::IWMReaderCallbackAdvanced {
 public:
  explicit WmaMusic(const std::string& path);
  ~WmaMusic() override;

  bool GetMusicInfo() override;
  bool ReadTags() override;
  bool StartConvert(Music* target) override;
  // Stops the reader; false when this object has no reader.
  bool CancelConvert() override;
  bool WriteTags() override;
  bool InitWriter() override;
  bool WriteSamples(const std::uint8_t* data, std::int64_t length) override;
  bool CloseWriter() override;

 private:
  using HRESULT = platform::wmf::HRESULT;
  template <class T>
  using ComPtr = platform::wmf::ComPtr<T>;

  // Reader callbacks, on the runtime thread.
  HRESULT OnStatus(platform::wmf::WMT_STATUS status, HRESULT hr,
                   platform::wmf::WMT_ATTR_DATATYPE type, platform::wmf::BYTE* value,
                   void* context) override;
  HRESULT OnSample(platform::wmf::DWORD output, platform::wmf::QWORD sampleTime,
                   platform::wmf::QWORD sampleDuration, platform::wmf::DWORD flags,
                   platform::wmf::INSSBuffer* sample, void* context) override;
  HRESULT QueryInterface(platform::wmf::IWMReaderCallbackAdvanced** advanced) override;
  HRESULT OnTime(platform::wmf::QWORD time, void* context) override;
  void DeliverNextSecond();

  // Reports `text` when hr failed; true when it succeeded.
  bool Succeeded(HRESULT hr, const char* text) const;
  // Refuses while a decode runs, drops the previous reader and creates a new one.
  bool BeginSession();
  bool OpenReader();
  bool WaitOpened(const char* timeoutText, HRESULT* hr);
  bool ReadHeader(MusicInfo* probed);
  void ReadAttribute(platform::wmf::IWMHeaderInfo* header, platform::wmf::WORD index,
                     MusicInfo* probed);
  bool ReadOutputFormat(MusicInfo* probed);
  bool PrepareDecode();
  // Closes the reader (joining its thread) and drops it; never on the runtime thread.
  void ReleaseReader();

  bool CreateWriter();
  bool ConfigureWriter();
  bool BeginFile();
  bool WriteOneSample(const std::uint8_t* data, std::int64_t length);
  bool FinishFile();
  void ReleaseWriter();

  // Opens the file in the metadata editor; null after reporting a failure.
  ComPtr<platform::wmf::IWMMetadataEditor> OpenEditor(ComPtr<platform::wmf::IWMHeaderInfo>* header);

  CloseOnce target_;
  platform::wmf::QWORD clock_ = 0;  // runtime thread, once the decode started
  platform::Event openedEvent_;
  std::atomic<HRESULT> openResult_{0};
  std::atomic<bool> noRights_{false};

  // Written by the thread that opens and destroys; read under the lock by CancelConvert,
  // which the runtime thread calls too.
  std::mutex readerMutex_;
  ComPtr<platform::wmf::IWMReader> reader_;
  // Set before Start, used by the runtime thread, dropped after the thread ended.
  ComPtr<platform::wmf::IWMReaderAdvanced> readerAdvanced_;

  ComPtr<platform::wmf::IWMWriter> writer_;
  ComPtr<platform::wmf::IWMWriterFileSink2> fileSink2_;
  bool writing_ = false;  // between BeginWriting and EndWriting
  std::int64_t writeTime_ = 0;
  std::int64_t bytesPerSecond_ = 0;
};
