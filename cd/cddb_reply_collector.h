// Collects a CDDB reply over HTTP as its parts arrive and tells when it is complete.
//
// The reply grows in steps of `block` bytes up to `limit`. It is complete when the text holds
// `terminator` (the text is then cut where the terminator starts), or, with the status check,
// once the CDDB status line after the HTTP header has arrived and its code is not 210…219
// (only multi-line replies carry the terminator). Until then more must be read.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace cd {

class CddbReplyCollector {
 public:
  enum class State { kNeedMore, kComplete, kTooLarge };

  CddbReplyCollector(std::string_view terminator, std::size_t block, bool statusCheck,
                     std::size_t limit);

  // Room for the next part (never empty while the state is kNeedMore).
  std::span<char> FreeSpace();
  // Takes `count` bytes written at the start of FreeSpace().
  State Commit(std::size_t count);
  // The text received so far (cut at the terminator once complete).
  std::string_view Text() const { return std::string_view(buffer_).substr(0, length_); }

 private:
  bool StatusLineEndsReply(std::size_t previous);

  std::string terminator_;
  std::size_t block_;
  bool statusCheck_;
  std::size_t limit_;
  std::string buffer_;  // capacity: buffer_.size(), one byte kept free as in a C string
  std::size_t length_ = 0;
  std::size_t bodyStart_ = std::string::npos;
  std::size_t statusLineEnd_ = std::string::npos;
};

}  // namespace cd
