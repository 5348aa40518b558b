#include "platform/wave_out.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned kBufferTimeUs = 300000;  // ALSA's own buffer: 300 ms
constexpr unsigned kPeriodTimeUs = 25000;
// How long Reset waits for the device thread to silence ALSA, and Close for it to end.
constexpr auto kResetWait = std::chrono::milliseconds(200);
constexpr auto kCloseWait = std::chrono::seconds(2);
// Longer than ALSA's buffer lasts: a position that stands still this long will not move again.
constexpr auto kStall = std::chrono::microseconds(kBufferTimeUs) + std::chrono::milliseconds(500);

struct Entry {
  WaveHeader* header;
  std::int64_t frames;
};

struct PcmSetup {
  snd_pcm_t* pcm = nullptr;
  std::int64_t bufferFrames = 0;
  std::int64_t periodFrames = 0;
  std::int64_t rate = 0;
  std::int32_t blockAlign = 0;
  bool canPause = false;
};

bool AlsaFormatFor(const WaveFormat& f, snd_pcm_format_t* out) {
  if (f.formatTag != WAVE_FORMAT_PCM || f.channels == 0 || f.samplesPerSec == 0) return false;
  if (f.blockAlign != f.channels * f.bitsPerSample / 8) return false;
  switch (f.bitsPerSample) {
    case 8: *out = SND_PCM_FORMAT_U8; return true;
    case 16: *out = SND_PCM_FORMAT_S16_LE; return true;
    case 24: *out = SND_PCM_FORMAT_S24_3LE; return true;
    case 32: *out = SND_PCM_FORMAT_S32_LE; return true;
    default: return false;
  }
}

bool ConfigureHardware(snd_pcm_t* pcm, const WaveFormat& f, snd_pcm_format_t format,
                       PcmSetup* setup) {
  snd_pcm_hw_params_t* hw = nullptr;
  snd_pcm_hw_params_alloca(&hw);
  unsigned bufferUs = kBufferTimeUs;
  unsigned periodUs = kPeriodTimeUs;
  if (snd_pcm_hw_params_any(pcm, hw) < 0 ||
      snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0 ||
      snd_pcm_hw_params_set_format(pcm, hw, format) < 0 ||
      snd_pcm_hw_params_set_channels(pcm, hw, f.channels) < 0 ||
      snd_pcm_hw_params_set_rate_resample(pcm, hw, 1) < 0 ||
      snd_pcm_hw_params_set_rate(pcm, hw, f.samplesPerSec, 0) < 0) {
    return false;
  }
  // Best effort: a device that cannot give these times still plays with what it has.
  snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferUs, nullptr);
  snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodUs, nullptr);
  if (snd_pcm_hw_params(pcm, hw) < 0) return false;
  snd_pcm_uframes_t bufferFrames = 0;
  snd_pcm_uframes_t periodFrames = 0;
  snd_pcm_hw_params_get_buffer_size(hw, &bufferFrames);
  snd_pcm_hw_params_get_period_size(hw, &periodFrames, nullptr);
  setup->bufferFrames = static_cast<std::int64_t>(bufferFrames);
  setup->periodFrames = static_cast<std::int64_t>(std::max<snd_pcm_uframes_t>(periodFrames, 1));
  setup->canPause =
      snd_pcm_hw_params_can_pause(hw) != 0 && std::getenv("WAVELATHE_AUDIO_SOFT_PAUSE") == nullptr;
  return setup->bufferFrames > 0;
}

bool ConfigureSoftware(snd_pcm_t* pcm) {
  snd_pcm_sw_params_t* sw = nullptr;
  snd_pcm_sw_params_alloca(&sw);
  // Start as soon as anything is written: the first write hands over a whole 100 ms buffer.
  return snd_pcm_sw_params_current(pcm, sw) >= 0 &&
         snd_pcm_sw_params_set_start_threshold(pcm, sw, 1) >= 0 && snd_pcm_sw_params(pcm, sw) >= 0;
}

bool OpenPcm(const WaveFormat& f, PcmSetup* setup) {
  snd_pcm_format_t format;
  if (!AlsaFormatFor(f, &format)) return false;
  snd_pcm_t* pcm = nullptr;
  if (snd_pcm_open(&pcm, WaveOutDeviceName(), SND_PCM_STREAM_PLAYBACK, 0) < 0) return false;
  if (!ConfigureHardware(pcm, f, format, setup) || !ConfigureSoftware(pcm)) {
    snd_pcm_close(pcm);
    return false;
  }
  setup->pcm = pcm;
  setup->rate = f.samplesPerSec;
  setup->blockAlign = f.blockAlign;
  return true;
}

}  // namespace

// State shared by the handle (controlling thread) and its device thread. Everything under
// `mutex` is shared; the pcm is used by the device thread only once the thread runs.
// Lock order: callbackMutex before mutex. Whoever returns buffers holds callbackMutex from
// taking them off the queue until their callbacks ran, so callbacks keep queue order.
class DeviceCore {
 public:
  DeviceCore(const PcmSetup& setup, HWaveOut handle, WaveOutProc callback, std::uintptr_t instance)
      : setup_(setup), handle_(handle), callback_(callback), instance_(instance) {}

  void Run();

  // Controlling thread.
  bool Write(WaveHeader* header);
  void SetPause(bool paused);
  bool Reset();
  enum class CloseResult { kRefused, kExited, kStuck };
  CloseResult Close();
  bool IsQueued(const WaveHeader* header);
  void Notify(std::uint32_t msg, WaveHeader* header) const {
    if (callback_ != nullptr) callback_(handle_, msg, instance_, header, 0);
  }

 private:
  struct Commands {
    bool quit = false;
    bool drop = false;
    bool pause = false;
  };

  Commands TakeCommands();
  void WaitForWork();
  bool Pump();
  void ReturnPlayed(std::uint64_t epoch, std::int64_t played, std::int64_t* queueEnd);
  std::int64_t Stage(std::uint64_t epoch, std::int64_t maxFrames);
  std::int64_t WriteStaged(std::int64_t frames);
  void DropKeepingRemainder();
  void ApplyPause(bool pause);
  void DropAndForget();
  std::int64_t Played(std::int64_t written, bool* ok);
  bool Recover(int err);
  void Failed(int err);
  void SkipAll(std::uint64_t epoch);
  std::uint64_t Epoch() {
    std::lock_guard lock(mutex_);
    return epoch_;
  }

  const PcmSetup setup_;
  const HWaveOut handle_;
  const WaveOutProc callback_;
  const std::uintptr_t instance_;

  std::mutex callbackMutex_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable acknowledged_;
  // Guarded by mutex_.
  std::deque<Entry> queue_;
  std::int64_t queueStart_ = 0;  // stream frame where queue_.front() begins
  std::int64_t queuedFrames_ = 0;
  std::int64_t written_ = 0;     // stream frames handed to ALSA
  std::uint64_t epoch_ = 0;      // changes whenever Reset empties the queue
  std::uint64_t submitted_ = 0;  // counts Write calls, to wake the thread for new data
  bool quit_ = false;
  bool dropWanted_ = false;
  bool pauseWanted_ = false;
  bool exited_ = false;

  // Device thread only.
  bool paused_ = false;
  bool hardwarePaused_ = false;
  bool broken_ = false;  // the device failed for good: buffers come back without playing
  std::optional<Clock::time_point> failingSince_;  // start of a run of failed calls
  std::uint64_t seenSubmitted_ = 0;
  std::vector<std::uint8_t> staging_;
  std::int64_t lastPlayed_ = -1;
  Clock::time_point lastProgress_ = Clock::now();
};

class WaveOut {
 public:
  std::shared_ptr<DeviceCore> core;
  std::thread thread;
};

// --- device thread -------------------------------------------------------------------------

void DeviceCore::Run() {
  for (;;) {
    const Commands commands = TakeCommands();
    if (commands.quit) break;
    if (commands.drop) DropAndForget();
    if (commands.pause != paused_) ApplyPause(commands.pause);
    // Right after a write, look at the position again at once: a fast device may already have
    // played it.
    if (!paused_ && Pump()) continue;
    WaitForWork();
  }
  snd_pcm_drop(setup_.pcm);
  snd_pcm_close(setup_.pcm);
  std::lock_guard lock(mutex_);
  exited_ = true;
  acknowledged_.notify_all();
}

DeviceCore::Commands DeviceCore::TakeCommands() {
  std::lock_guard lock(mutex_);
  Commands commands;
  commands.quit = quit_;
  commands.drop = dropWanted_;
  commands.pause = pauseWanted_;
  seenSubmitted_ = submitted_;
  return commands;
}

void DeviceCore::WaitForWork() {
  std::unique_lock lock(mutex_);
  if (exited_) return;
  auto pending = [this] {
    return quit_ || dropWanted_ || pauseWanted_ != paused_ || submitted_ != seenSubmitted_;
  };
  if (queue_.empty() || paused_) {
    wake_.wait(lock, pending);
    return;
  }
  // Buffers are in flight: look at the play position again within half a period.
  const auto tick = std::chrono::microseconds(
      std::clamp<std::int64_t>(setup_.periodFrames * 500000 / setup_.rate, 2000, 10000));
  wake_.wait_for(lock, tick, pending);
}

// Frames of the stream played so far: written minus what ALSA still holds. After an underrun
// or a device error everything written counts as played, so buffers always come back.
std::int64_t DeviceCore::Played(std::int64_t written, bool* ok) {
  snd_pcm_sframes_t avail = 0;
  snd_pcm_sframes_t delay = 0;
  int err = snd_pcm_avail_delay(setup_.pcm, &avail, &delay);
  *ok = err >= 0;
  if (err < 0) {
    Failed(err);
    return written;
  }
  failingSince_.reset();
  return written - std::clamp<std::int64_t>(delay, 0, written);
}

// After a failed call: restart the stream where ALSA allows it. The device counts as gone for
// good when the restart fails, when it reports itself disconnected, or when calls keep
// failing for longer than a stall (some report passing errors, say before the first write).
void DeviceCore::Failed(int err) {
  if (Recover(err)) {
    failingSince_.reset();
    return;
  }
  if (err == -EPIPE || err == -ESTRPIPE || err == -ENODEV ||
      snd_pcm_state(setup_.pcm) == SND_PCM_STATE_DISCONNECTED) {
    broken_ = true;
    return;
  }
  const auto now = Clock::now();
  if (!failingSince_) failingSince_ = now;
  if (now - *failingSince_ > kStall) broken_ = true;
}

// Restarts the stream after an underrun or a suspend; false when the device is gone.
bool DeviceCore::Recover(int err) {
  if (err == -ESTRPIPE) {
    for (int i = 0; i < 100 && (err = snd_pcm_resume(setup_.pcm)) == -EAGAIN; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (err >= 0) return true;
    return snd_pcm_prepare(setup_.pcm) >= 0;
  }
  return err == -EPIPE && snd_pcm_prepare(setup_.pcm) >= 0;
}

// A broken device: every queued frame counts as written and played, so the buffers come back
// and the caller's playback ends instead of waiting for a device that will never play.
void DeviceCore::SkipAll(std::uint64_t epoch) {
  std::int64_t end;
  {
    std::lock_guard lock(mutex_);
    if (epoch_ != epoch) return;
    written_ = queueStart_ + queuedFrames_;
    end = written_;
  }
  std::int64_t queueEnd = 0;
  ReturnPlayed(epoch, end, &queueEnd);
}

// Returns played buffers and hands ALSA as much as it takes; true when something was written.
bool DeviceCore::Pump() {
  std::uint64_t epoch;
  std::int64_t written;
  {
    std::lock_guard lock(mutex_);
    epoch = epoch_;
    written = written_;
  }
  bool ok = true;
  std::int64_t played = Played(written, &ok);
  if (broken_) {
    SkipAll(epoch);
    return false;
  }
  const auto now = Clock::now();
  if (played != lastPlayed_) {
    lastPlayed_ = played;
    lastProgress_ = now;
  }
  std::int64_t queueEnd = 0;
  // A device whose position stopped moving for longer than its buffer lasts has played
  // everything it will ever play (some report a last latency that never reaches zero).
  if (now - lastProgress_ > kStall) played = written;
  ReturnPlayed(epoch, played, &queueEnd);

  snd_pcm_sframes_t avail = snd_pcm_avail_update(setup_.pcm);
  if (avail < 0) avail = ok ? 0 : setup_.bufferFrames;
  const std::int64_t frames = Stage(epoch, std::min<std::int64_t>(avail, queueEnd - written));
  if (frames <= 0) return false;
  const std::int64_t done = WriteStaged(frames);
  std::lock_guard lock(mutex_);
  if (epoch_ == epoch) written_ += done;
  lastProgress_ = now;
  return done > 0;
}

// Returns (in order) every buffer that ends at or before `played`.
void DeviceCore::ReturnPlayed(std::uint64_t epoch, std::int64_t played, std::int64_t* queueEnd) {
  std::vector<WaveHeader*> done;
  std::lock_guard callbacks(callbackMutex_);
  {
    std::lock_guard lock(mutex_);
    if (epoch_ != epoch) return;
    while (!queue_.empty() && queueStart_ + queue_.front().frames <= played) {
      Entry e = queue_.front();
      queue_.pop_front();
      queueStart_ += e.frames;
      queuedFrames_ -= e.frames;
      e.header->flags = (e.header->flags & ~WHDR_INQUEUE) | WHDR_DONE;
      done.push_back(e.header);
    }
    *queueEnd = queueStart_ + queuedFrames_;
  }
  for (WaveHeader* h : done) Notify(WOM_DONE, h);
}

// Copies up to maxFrames unwritten frames (from written_ on) into the staging buffer, so that
// ALSA never reads a caller's buffer after Reset returned it.
std::int64_t DeviceCore::Stage(std::uint64_t epoch, std::int64_t maxFrames) {
  if (maxFrames <= 0) return 0;
  std::lock_guard lock(mutex_);
  if (epoch_ != epoch) return 0;
  const std::int64_t align = setup_.blockAlign;
  staging_.resize(static_cast<std::size_t>(maxFrames * align));
  std::int64_t offset = written_ - queueStart_;
  std::int64_t copied = 0;
  for (const Entry& e : queue_) {
    if (copied == maxFrames) break;
    if (offset >= e.frames) {
      offset -= e.frames;
      continue;
    }
    const std::int64_t n = std::min(e.frames - offset, maxFrames - copied);
    std::memcpy(staging_.data() + copied * align, e.header->data + offset * align,
                static_cast<std::size_t>(n * align));
    copied += n;
    offset = 0;
  }
  return copied;
}

// Hands `frames` staged frames to ALSA. Returns how many count as written: a device error
// skips the rest, so the stream still moves on and buffers still come back.
std::int64_t DeviceCore::WriteStaged(std::int64_t frames) {
  std::int64_t done = 0;
  int retries = 0;
  while (done < frames) {
    snd_pcm_sframes_t n = snd_pcm_writei(setup_.pcm, staging_.data() + done * setup_.blockAlign,
                                         static_cast<snd_pcm_uframes_t>(frames - done));
    if (n >= 0) {
      done += n;
      continue;
    }
    Failed(static_cast<int>(n));
    if (broken_ || ++retries > 3) return frames;
  }
  return done;
}

void DeviceCore::ApplyPause(bool pause) {
  if (pause) {
    hardwarePaused_ = setup_.canPause && snd_pcm_state(setup_.pcm) == SND_PCM_STATE_RUNNING &&
                      snd_pcm_pause(setup_.pcm, 1) >= 0;
    if (!hardwarePaused_) DropKeepingRemainder();
  } else {
    if (hardwarePaused_ && snd_pcm_pause(setup_.pcm, 0) < 0) DropKeepingRemainder();
    hardwarePaused_ = false;
    lastProgress_ = Clock::now();
  }
  paused_ = pause;
}

// Stops ALSA and moves the write position back to the first unplayed frame, so that the
// frames ALSA discarded are written again after the pause: none lost, none repeated.
void DeviceCore::DropKeepingRemainder() {
  const std::uint64_t epoch = Epoch();
  std::int64_t written;
  {
    std::lock_guard lock(mutex_);
    written = written_;
  }
  bool ok = true;
  const std::int64_t played = Played(written, &ok);
  snd_pcm_drop(setup_.pcm);
  snd_pcm_prepare(setup_.pcm);
  std::lock_guard lock(mutex_);
  if (epoch_ == epoch) written_ = std::max(queueStart_, played);
}

// After Reset: silence ALSA at once and start a new stream at frame 0.
void DeviceCore::DropAndForget() {
  snd_pcm_drop(setup_.pcm);
  snd_pcm_prepare(setup_.pcm);
  paused_ = false;
  hardwarePaused_ = false;
  lastPlayed_ = -1;
  lastProgress_ = Clock::now();
  std::lock_guard lock(mutex_);
  dropWanted_ = false;
  acknowledged_.notify_all();
}

// --- controlling thread ----------------------------------------------------------------------

bool DeviceCore::Write(WaveHeader* header) {
  {
    std::lock_guard lock(mutex_);
    if ((header->flags & WHDR_PREPARED) == 0 || (header->flags & WHDR_INQUEUE) != 0) return false;
    header->flags = (header->flags & ~WHDR_DONE) | WHDR_INQUEUE;
    const std::int64_t frames = header->bufferLength / setup_.blockAlign;
    queue_.push_back(Entry{header, frames});
    queuedFrames_ += frames;
    ++submitted_;
  }
  wake_.notify_one();
  return true;
}

void DeviceCore::SetPause(bool paused) {
  {
    std::lock_guard lock(mutex_);
    pauseWanted_ = paused;
  }
  wake_.notify_one();
}

bool DeviceCore::Reset() {
  {
    std::vector<WaveHeader*> returned;
    std::lock_guard callbacks(callbackMutex_);
    {
      std::lock_guard lock(mutex_);
      for (const Entry& e : queue_) {
        e.header->flags = (e.header->flags & ~WHDR_INQUEUE) | WHDR_DONE;
        returned.push_back(e.header);
      }
      queue_.clear();
      queueStart_ = queuedFrames_ = written_ = 0;
      ++epoch_;
      dropWanted_ = true;
      pauseWanted_ = false;
    }
    wake_.notify_one();
    for (WaveHeader* h : returned) Notify(WOM_DONE, h);
  }
  // Bounded, and without holding callbackMutex_ (the thread may be waiting for it): the
  // buffers are already safe to reuse; this only waits for ALSA to fall silent.
  std::unique_lock lock(mutex_);
  acknowledged_.wait_for(lock, kResetWait, [this] { return !dropWanted_ || exited_; });
  return true;
}

DeviceCore::CloseResult DeviceCore::Close() {
  std::unique_lock lock(mutex_);
  if (!queue_.empty()) return CloseResult::kRefused;
  quit_ = true;
  wake_.notify_one();
  return acknowledged_.wait_for(lock, kCloseWait, [this] { return exited_; }) ? CloseResult::kExited
                                                                              : CloseResult::kStuck;
}

bool DeviceCore::IsQueued(const WaveHeader* header) {
  std::lock_guard lock(mutex_);
  return (header->flags & WHDR_INQUEUE) != 0;
}

// --- the classic interface -------------------------------------------------------------------

const char* WaveOutDeviceName() {
  const char* name = std::getenv("WAVELATHE_AUDIO_DEVICE");
  return name != nullptr && *name != '\0' ? name : "default";
}

bool WaveOutOpen(HWaveOut* device, const WaveFormat& format, WaveOutProc callback,
                 std::uintptr_t instance) {
  if (device == nullptr) return false;
  *device = nullptr;
  PcmSetup setup;
  if (!OpenPcm(format, &setup)) return false;
  auto handle = std::make_unique<WaveOut>();
  handle->core = std::make_shared<DeviceCore>(setup, handle.get(), callback, instance);
  // The thread shares the core, so a thread stuck inside ALSA never outlives its state.
  handle->thread = std::thread([core = handle->core] { core->Run(); });
  *device = handle.release();
  (*device)->core->Notify(WOM_OPEN, nullptr);
  return true;
}

bool WaveOutPrepareHeader(HWaveOut device, WaveHeader* header) {
  if (device == nullptr || header == nullptr || header->data == nullptr) return false;
  if (device->core->IsQueued(header)) return false;
  header->flags = (header->flags & ~WHDR_DONE) | WHDR_PREPARED;
  return true;
}

bool WaveOutUnprepareHeader(HWaveOut device, WaveHeader* header) {
  if (device == nullptr || header == nullptr || device->core->IsQueued(header)) return false;
  header->flags &= ~WHDR_PREPARED;
  return true;
}

bool WaveOutWrite(HWaveOut device, WaveHeader* header) {
  return device != nullptr && header != nullptr && device->core->Write(header);
}

bool WaveOutPause(HWaveOut device) {
  if (device == nullptr) return false;
  device->core->SetPause(true);
  return true;
}

bool WaveOutRestart(HWaveOut device) {
  if (device == nullptr) return false;
  device->core->SetPause(false);
  return true;
}

bool WaveOutReset(HWaveOut device) { return device != nullptr && device->core->Reset(); }

bool WaveOutClose(HWaveOut device) {
  if (device == nullptr) return false;
  const DeviceCore::CloseResult result = device->core->Close();
  if (result == DeviceCore::CloseResult::kRefused) return false;
  // A thread stuck inside ALSA is left to finish on its own; it owns a share of the core and
  // touches no caller buffer any more.
  if (result == DeviceCore::CloseResult::kExited) {
    device->thread.join();
  } else {
    device->thread.detach();
  }
  device->core->Notify(WOM_CLOSE, nullptr);
  delete device;
  return true;
}

}  // namespace platform
