// The decode loop shared by the sources that decode on a thread of their own (WAV, Ogg, APE,
// CD tracks): the worker thread, the cancel flag, the join, and the guarantee that every
// started decode ends with exactly one CloseWriter on its target — after the end of the
// data, a cancel, a read error or a refused write.
//
// A subclass opens its input in OpenDecode (caller's thread), produces PCM chunk by chunk in
// ReadChunk and releases its input in CloseDecode (both on the worker). Because the worker
// calls these overrides, a subclass's destructor must call JoinDecode() first. The object
// must not be destroyed, nor a new decode started, from the worker itself (the target's
// WriteSamples or CloseWriter).
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "codecs/music.h"

class ThreadedSource : public Music {
 public:
  // `chunkBytes`: capacity of the buffer handed to ReadChunk (> 0).
  ThreadedSource(const std::string& path, std::int64_t chunkBytes);
  ~ThreadedSource() override;

  // OpenDecode, then the loop on a new worker. False: nothing started, nothing called on
  // target (the reason has been reported, or target is null).
  bool StartConvert(Music* target) override;
  // The loop stops before its next chunk; the decode still ends with target->CloseWriter().
  bool CancelConvert() override;

 protected:
  // Opens the input positioned at the first sample; false after reporting why.
  virtual bool OpenDecode() = 0;
  // Fills up to `capacity` bytes (a multiple of the frame size where it matters) and returns
  // the count; 0 at the end of the data; -1 after reporting a read error.
  virtual std::int64_t ReadChunk(std::uint8_t* buffer, std::int64_t capacity) = 0;
  // Hands one chunk to the target; false stops the loop. By default target->WriteSamples.
  virtual bool Deliver(Music* target, const std::uint8_t* data, std::int64_t length);
  // Releases what OpenDecode took; runs on the worker before the target is closed.
  virtual void CloseDecode() = 0;

  // Cancels nothing; waits for a running worker to finish (a no-op on the worker itself).
  void JoinDecode();
  bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

 private:
  void Loop(Music* target);

  std::vector<std::uint8_t> buffer_;
  std::atomic<bool> cancelled_{false};
  std::thread worker_;
};
