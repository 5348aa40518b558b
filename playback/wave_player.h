// Plays a range of frames of the PCM cache through the waveform output device, in 100 ms
// buffers that point into the player's own mapping of the cache (at most three queued), moving
// the view's cursor as buffers are queued and back to where playback began at the end.
//
// UI thread only; the device thread only posts WM_PLAYER_BUFFER_DONE to this object.
#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <vector>

#include "codecs/music.h"
#include "platform/file_map.h"
#include "platform/qt/qt_message_target.h"
#include "platform/wave_out.h"

class CWavView;

constexpr std::uint32_t WM_PLAYER_BUFFER_DONE = platform::kWmUser + 101;  // 0x465

class WavePlayer : public QObject {
  Q_OBJECT

 public:
  explicit WavePlayer(CWavView* view, QObject* parent = nullptr);
  ~WavePlayer() override;  // stops playback

  // Plays `count` frames from `start` of the cache `info` describes. False when nothing plays.
  bool Play(const MusicInfo& info, std::int64_t start, std::int64_t count);
  void TogglePause();
  // Returns every queued buffer and waits for them; the cursor returns to the start.
  void Stop();

  bool playing() const;
  bool paused() const;

 protected:
  bool event(QEvent* event) override;

 private:
  static void DeviceCallback(platform::HWaveOut device, std::uint32_t msg, std::uintptr_t instance,
                             platform::WaveHeader* header, std::uintptr_t param2);
  bool OpenDevice(const MusicInfo& info);
  bool QueueNextBuffer();
  void OnBufferDone(platform::WaveHeader* header);
  void FinishPlayback();
  void CloseDevice();
  void ReleaseHeader(platform::WaveHeader* header);

  QPointer<CWavView> view_;  // null once the view is gone
  platform::QtMessageTarget target_{this};
  platform::FileMap map_;
  platform::HWaveOut device_ = nullptr;
  // Headers handed to the device and not yet returned; a message naming any other header is
  // ignored.
  std::vector<std::unique_ptr<platform::WaveHeader>> headers_;
  std::int64_t dataOffset_ = 0;
  std::int64_t remainingFrames_ = 0;
  std::int32_t blockAlign_ = 0;
  std::int64_t nextPos_ = 0;
  bool playing_ = false;
  std::int32_t queuedCount_ = 0;
  bool stopping_ = false;
  std::int64_t playStart_ = 0;
  bool paused_ = false;
  std::int32_t bufferBytes_ = 0;
};

// The frame's Play command: from the cursor to the end (a cursor at or past the end starts at 0).
void PlayFromCursor(WavePlayer& player, CWavView& view, const MusicInfo& cache);
// The frame's Play segment command: the ordered segment, resuming from a cursor inside it.
void PlaySegment(WavePlayer& player, CWavView& view, const MusicInfo& cache);
