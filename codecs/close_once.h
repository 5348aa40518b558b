// The target of a decode driven by an outside engine (the MP3 decoder module, the Windows
// Media reader), closed exactly once: the end of the stream, a refused write and a cancel may
// race from different threads, and only the first of them calls CloseWriter.
#pragma once

#include <atomic>

#include "codecs/music.h"

class CloseOnce {
 public:
  // A decode into `target` starts (replaces any target not closed yet without closing it).
  void Arm(Music* target) { target_.store(target, std::memory_order_release); }
  // The target of the running decode, or null once it has been closed.
  Music* Target() const { return target_.load(std::memory_order_acquire); }
  // Calls CloseWriter on the armed target unless another call already did; true if this
  // call closed it. A caller on another thread than the engine's stops the engine first, so
  // that no WriteSamples is running while the target closes.
  bool Close() {
    Music* target = target_.exchange(nullptr, std::memory_order_acq_rel);
    if (target == nullptr) return false;
    target->CloseWriter();
    return true;
  }

 private:
  std::atomic<Music*> target_{nullptr};
};
