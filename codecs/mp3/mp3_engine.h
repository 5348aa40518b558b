// The process-wide MP3 decoder state behind Mp3Music: the decoder module (bin/mp3decdll.so,
// loaded once and never unloaded), the output record and hooks the program offers it, the
// hidden window "mp3decmsgwnd" whose handler runs on the UI thread, and the rule that one
// probe or decode runs at a time in the whole process (a second one is refused, kBusy).
//
// Threads. The module calls the output and the info hook on its own thread, so a decode's
// target receives WriteSamples there. The end of a stream arrives as message 0x402 at the
// hidden window, whose handler closes the target on the UI thread.
//
// Stopping without deadlocks. A target callback may wait on the UI thread (a message box shown
// from WriteSamples is carried there), so the UI thread must never wait for the module while
// such a call may be under way:
//  - the module is joined (its stop) only where no target call can be running: during a
//    probe (there is no target), after a start that never offered output room, and once the
//    target has been closed;
//  - Cancel never waits: the module's thread closes the target at its next callback and ends
//    the play, or Cancel closes it itself when the module has already finished its output;
//  - Release waits for a close that may still run on another thread; that wait is short once
//    the target's completion has arrived, which is when an owner destroys its source.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "codecs/close_once.h"
#include "codecs/music.h"
#include "modules/mp3dec/mp3_module.h"
#include "platform/event.h"

class Mp3Engine {
 public:
  enum class Result { kOk, kBusy, kFailed };

  // The one engine of the process (never destroyed).
  static Mp3Engine& Instance();

  // Creates the hidden window, loads the module beside the executable and starts it. Succeeds
  // at most once; every later call returns true at once. False: a step failed (retried by the
  // next call).
  bool Init();
  // Init has succeeded.
  bool started() const { return started_.load(std::memory_order_acquire); }

  // Plays `path` until the module asks for output room (at most 5 s), then stops. Fills
  // `info`'s sampleRate, channels, bitrate and bitsPerSample from what the module announced
  // and durationMs from its length. kFailed: the module refused the file, never asked in
  // time, or gave no length (`info` may be partly filled).
  Result Probe(const std::string& path, MusicInfo* info);
  // Starts decoding `path` into `target` on behalf of `owner` and returns once the module has
  // announced the format (at most 5 s). The decode then ends with exactly one
  // target->CloseWriter(). kFailed: nothing was called on target.
  Result StartDecode(const void* owner, const std::string& path, Music* target);
  // Asks `owner`'s running decode to end (its target is still closed once); never waits.
  // Nothing happens for another owner or when no decode runs.
  void Cancel(const void* owner);
  // Cancels `owner`'s decode, if it runs, and waits until its target has been closed.
  void Release(const void* owner);

 private:
  Mp3Engine();
  // Marks the engine busy for a new probe or decode and collects the previous play's thread;
  // false when a probe or decode runs.
  bool Claim(bool probe, const void* owner);
  // Ends a claim; wakes Release.
  void Unclaim();
  // Closes the decode's target unless it has been closed; the call that closes it ends the
  // decode's claim.
  void CloseTarget(const std::shared_ptr<CloseOnce>& decode);
  // Ends the play from the module's own thread (only asks the thread to end).
  void StopFromModule();
  void OnWindowMessage(std::uint32_t msg);

  // The output record's callbacks and the info hook (module thread), reaching the engine.
  static int Open(int rate, int channels, int bits, int bufferMs, int prebufferMs);
  static void Close();
  static int Write(char* buffer, int length);
  static int CanWrite();
  static void Flush(int timeMs);
  static int OutputTime();
  static void SetInfo(int bitrateKbps, int rateKhz, int channels, int synchronised);

  mp3module::OutputModule output_;
  std::unique_ptr<platform::MessageTarget> window_;
  mp3module::DecoderModule* module_ = nullptr;
  platform::Event readyEvent_;
  std::mutex initMutex_;
  std::atomic<bool> started_{false};

  std::mutex mutex_;  // guards the state below up to decode_
  std::condition_variable changed_;
  bool claimed_ = false;         // a probe or a decode holds the engine
  bool probing_ = false;         // the claim is a probe
  bool outputClosed_ = false;    // the decode's play has closed its output
  const void* owner_ = nullptr;  // the Mp3Music that started the decode
  // The target of the latest decode, one guard per decode, so that a late end message of an
  // earlier decode can only reach that decode's (closed) target. Replaced only while no play
  // runs; the module's thread reads it without the lock.
  std::shared_ptr<CloseOnce> decode_;

  std::atomic<bool> cancelRequested_{false};
  std::atomic<bool> offerRoom_{false};  // the decode may receive PCM
  MusicInfo* probeInfo_ = nullptr;      // set only while a probe's play runs
  std::atomic<std::int32_t> outRate_{0};
  std::atomic<std::int32_t> outChannels_{0};
  std::atomic<std::int32_t> outBits_{0};
  std::atomic<std::int64_t> bytesWritten_{0};
  std::atomic<std::int64_t> flushTimeMs_{0};
};
