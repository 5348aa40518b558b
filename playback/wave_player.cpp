#include "playback/wave_player.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

#include "platform/message_box.h"
#include "res/player_texts.h"
#include "waveview/wav_view.h"

namespace {

constexpr int kMaxQueued = 3;
// Stop gives up waiting for a device that never returns its buffers after this long.
constexpr auto kStopTimeout = std::chrono::seconds(2);

void ShowFailure(const char* text) { platform::ShowBox(platform::BoxKind::kPlain, text); }

}  // namespace

WavePlayer::WavePlayer(CWavView* view, QObject* parent) : QObject(parent), view_(view) {}

WavePlayer::~WavePlayer() { Stop(); }

bool WavePlayer::playing() const { return playing_; }
bool WavePlayer::paused() const { return paused_; }

bool WavePlayer::Play(const MusicInfo& info, std::int64_t start, std::int64_t count) {
  if (count <= 0 || stopping_) return false;
  if (playing_) {
    Stop();
    if (playing_) return false;
  }
  playStart_ = start;
  playing_ = true;
  queuedCount_ = 0;
  stopping_ = false;
  paused_ = false;
  const std::int64_t bytesPerSecond =
      static_cast<std::int64_t>(info.bitsPerSample) * info.sampleRate * info.channels / 8;
  bufferBytes_ = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(bytesPerSecond / 10, 0, std::numeric_limits<std::int32_t>::max()));
  blockAlign_ = info.bitsPerSample * info.channels / 8;
  if (!OpenDevice(info)) {
    playing_ = false;
    ShowFailure(texts::kWaveOutOpenFailed);
    return false;
  }
  if (!map_.Open(info.fileName)) {
    playing_ = false;
    FinishPlayback();
    ShowFailure(texts::kPlayMapOpenFailed);
    return false;
  }
  dataOffset_ = view_ ? view_->dataOffset : 0;
  nextPos_ = start;
  // A cache shorter than its header claims plays what it holds.
  const std::int64_t available = platform::FramesInMap(map_, dataOffset_, blockAlign_);
  remainingFrames_ = start < 0 || start >= available ? 0 : std::min(count, available - start);
  int queued = 0;
  while (queued < kMaxQueued && QueueNextBuffer()) ++queued;
  if (queued == 0) FinishPlayback();
  return true;
}

bool WavePlayer::OpenDevice(const MusicInfo& info) {
  constexpr std::int64_t kMax16 = std::numeric_limits<std::uint16_t>::max();
  if (info.channels <= 0 || info.channels > kMax16 || info.sampleRate <= 0 ||
      info.bitsPerSample <= 0 || blockAlign_ <= 0 || blockAlign_ > kMax16) {
    return false;
  }
  platform::WaveFormat format;
  format.formatTag = platform::WAVE_FORMAT_PCM;
  format.channels = static_cast<std::uint16_t>(info.channels);
  format.samplesPerSec = static_cast<std::uint32_t>(info.sampleRate);
  format.bitsPerSample = static_cast<std::uint16_t>(info.bitsPerSample);
  format.blockAlign = static_cast<std::uint16_t>(blockAlign_);
  format.avgBytesPerSec = static_cast<std::uint32_t>(
      std::min<std::int64_t>(static_cast<std::int64_t>(info.sampleRate) * blockAlign_,
                             std::numeric_limits<std::uint32_t>::max()));
  // The callback turns the integer back into a MessageTarget*, so that is what goes in.
  platform::MessageTarget* const window = &target_;
  return platform::WaveOutOpen(&device_, format, &WavePlayer::DeviceCallback,
                               reinterpret_cast<std::uintptr_t>(window));
}

// Runs on the device thread: only posts.
void WavePlayer::DeviceCallback(platform::HWaveOut, std::uint32_t msg, std::uintptr_t instance,
                                platform::WaveHeader* header, std::uintptr_t param2) {
  if (msg != platform::WOM_DONE) return;
  platform::PostMessage(reinterpret_cast<platform::MessageTarget*>(instance), WM_PLAYER_BUFFER_DONE,
                        reinterpret_cast<platform::WParam>(header),
                        static_cast<platform::LParam>(param2));
}

bool WavePlayer::QueueNextBuffer() {
  if (remainingFrames_ <= 0) return false;
  const std::int64_t perBuffer = std::max<std::int64_t>(1, bufferBytes_ / blockAlign_);
  const std::int64_t frames = std::min(remainingFrames_, perBuffer);
  remainingFrames_ -= frames;
  const std::uint8_t* data = platform::FrameAt(map_, dataOffset_, nextPos_, blockAlign_, frames);
  if (data == nullptr) {
    remainingFrames_ = 0;
    return false;
  }
  auto header = std::make_unique<platform::WaveHeader>();
  header->data = data;
  header->bufferLength = static_cast<std::uint32_t>(frames * blockAlign_);
  nextPos_ += frames;
  // After a failure no further buffer is tried: one message, and the queued ones still end
  // the playback when they return.
  if (!platform::WaveOutPrepareHeader(device_, header.get())) {
    remainingFrames_ = 0;
    ShowFailure(texts::kWaveOutPrepareHeaderFailed);
    return false;
  }
  if (!platform::WaveOutWrite(device_, header.get())) {
    platform::WaveOutUnprepareHeader(device_, header.get());
    remainingFrames_ = 0;
    ShowFailure(texts::kWaveOutWriteFailed);
    return false;
  }
  headers_.push_back(std::move(header));
  if (view_) view_->MoveCursor(nextPos_);
  ++queuedCount_;
  return true;
}

bool WavePlayer::event(QEvent* event) {
  if (event->type() != platform::MessageEvent::Type()) return QObject::event(event);
  const auto* message = static_cast<platform::MessageEvent*>(event);
  if (message->msg == WM_PLAYER_BUFFER_DONE) {
    OnBufferDone(reinterpret_cast<platform::WaveHeader*>(message->w));
  }
  return true;
}

void WavePlayer::OnBufferDone(platform::WaveHeader* header) {
  auto it = std::find_if(headers_.begin(), headers_.end(),
                         [header](const auto& h) { return h.get() == header; });
  if (it == headers_.end() || !platform::WaveOutUnprepareHeader(device_, header)) return;
  headers_.erase(it);
  --queuedCount_;
  if (!stopping_) QueueNextBuffer();
  if (queuedCount_ <= 0) FinishPlayback();
}

void WavePlayer::CloseDevice() {
  if (device_ == nullptr) return;
  if (!platform::WaveOutClose(device_)) {
    platform::WaveOutReset(device_);
    platform::WaveOutClose(device_);
  }
  device_ = nullptr;
}

void WavePlayer::FinishPlayback() {
  CloseDevice();
  playing_ = false;
  paused_ = false;
  map_.Close();
  // The device is closed: nothing it returned can still be waiting to be handled.
  headers_.clear();
  queuedCount_ = 0;
  QCoreApplication::removePostedEvents(this, platform::MessageEvent::Type());
  if (view_) view_->MoveCursor(playStart_);
}

void WavePlayer::Stop() {
  if (stopping_ || !playing_) return;
  stopping_ = true;
  platform::WaveOutReset(device_);
  // Only the player's own messages are handled meanwhile; the rest of the UI waits.
  const auto deadline = std::chrono::steady_clock::now() + kStopTimeout;
  while (playing_) {
    target_.DispatchPending();
    if (!playing_ || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  FinishPlayback();
  stopping_ = false;
}

void WavePlayer::TogglePause() {
  if (!playing_ || stopping_) return;
  if (paused_) {
    platform::WaveOutRestart(device_);
    paused_ = false;
  } else {
    platform::WaveOutPause(device_);
    paused_ = true;
  }
}

void PlayFromCursor(WavePlayer& player, CWavView& view, const MusicInfo& cache) {
  if (view.cursorPos >= view.totalFrames) view.MoveCursor(0);
  player.Play(cache, view.cursorPos, view.totalFrames - view.cursorPos);
}

void PlaySegment(WavePlayer& player, CWavView& view, const MusicInfo& cache) {
  if (view.segStart == view.segEnd) return;
  const std::int64_t lo = std::min(view.segStart, view.segEnd);
  const std::int64_t hi = std::max(view.segStart, view.segEnd);
  if (view.cursorPos < lo || view.cursorPos >= hi) view.MoveCursor(lo);
  player.Play(cache, view.cursorPos, hi - view.cursorPos);
}
