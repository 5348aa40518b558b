// Plays a range of frames of the PCM cache through the waveform output device, in 100 ms
// buffers that point into the player's own mapping of the cache (at most three queued), moving
// the view's cursor as buffers are queued and back to where playback began at the end.
//
// UI thread only; the device thread only posts WM_PLAYER_BUFFER_DONE to this object.
#pragma once

#include <QObject>
#include <cstdint>

#include "codecs/music.h"

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
};

// The frame's Play command: from the cursor to the end (a cursor at or past the end starts at 0).
void PlayFromCursor(WavePlayer& player, CWavView& view, const MusicInfo& cache);
// The frame's Play segment command: the ordered segment, resuming from a cursor inside it.
void PlaySegment(WavePlayer& player, CWavView& view, const MusicInfo& cache);
