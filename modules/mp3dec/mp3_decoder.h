// The decoding engine behind the module record: one play at a time, decoded on a thread the
// engine owns and joins, delivered through the host's output record (contract in
// mp3_module.h).
//
// Play, Stop and the other controls may be called from any thread; Stop joins the decode
// thread, so an output callback must never wait for the thread that calls Stop.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "modules/mp3dec/mp3_module.h"
#include "modules/mp3dec/mp3_stream.h"

namespace mp3module {

class Mp3Decoder {
 public:
  // `record` supplies the host members (host_window, output, set_info) when a play starts.
  explicit Mp3Decoder(const DecoderModule& record) : record_(record) {}
  ~Mp3Decoder();
  Mp3Decoder(const Mp3Decoder&) = delete;
  Mp3Decoder& operator=(const Mp3Decoder&) = delete;

  // 0 when decoding started; 1 when the file cannot be decoded or a play is running.
  int Play(const char* file);
  // Ends the decode and waits for the thread (from an output callback: only asks it to end).
  void Stop();
  // Milliseconds of the last file played; -1 before any.
  int LengthMs() const { return length_ms_.load(); }
  void SetPaused(bool paused);
  bool paused() const;
  // The output's position, or -1 without an output.
  int OutputTimeMs() const;
  // Length of `file` (the current one when null or empty) and its title (name without
  // folder and extension) into `title` of `title_size` bytes.
  void FileInfo(const char* file, char* title, std::size_t title_size, int* length_ms) const;

 private:
  void Run(std::unique_ptr<Mp3Stream> stream);
  bool Deliver(Mp3Stream& stream, const OutputModule& output);
  bool WaitUntilPlayed(const OutputModule& output);
  void PostEnd();
  // Waits up to `time` for a stop (and while paused, for the pause to end); false once a
  // stop has been asked for.
  bool Idle(std::chrono::milliseconds time);
  bool StopRequested() const;
  void RequestStop();

  const DecoderModule& record_;
  std::mutex control_mutex_;  // one Play or Stop at a time
  mutable std::mutex mutex_;  // guards the fields up to current_file_
  std::condition_variable wake_;
  bool stop_requested_ = false;
  bool paused_ = false;
  std::string current_file_;
  std::atomic<bool> running_{false};
  std::atomic<int> length_ms_{-1};
  std::thread thread_;
};

}  // namespace mp3module
