#include "cd/cddb_reply_collector.h"

#include <algorithm>

#include "cd/cddb_reply.h"

namespace cd {
namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

// Where a search for `pattern` must resume so that a match split over two parts is found.
std::size_t ResumeFrom(std::size_t length, std::string_view pattern) {
  return length >= pattern.size() ? length - pattern.size() + 1 : 0;
}

}  // namespace

CddbReplyCollector::CddbReplyCollector(std::string_view terminator, std::size_t block,
                                       bool statusCheck, std::size_t limit)
    : terminator_(terminator),
      block_(std::max<std::size_t>(block, 2)),
      statusCheck_(statusCheck),
      limit_(std::clamp<std::size_t>(limit, 1, std::size_t{1} << 40)),
      buffer_(std::min(block_, limit_ + 1), '\0') {}

std::span<char> CddbReplyCollector::FreeSpace() {
  return std::span<char>(buffer_.data() + length_, buffer_.size() - length_ - 1);
}

CddbReplyCollector::State CddbReplyCollector::Commit(std::size_t count) {
  const std::size_t previous = length_;
  length_ += std::min(count, buffer_.size() - length_ - 1);
  const std::size_t end = Text().find(terminator_, ResumeFrom(previous, terminator_));
  if (end != std::string_view::npos) {
    length_ = end;
    return State::kComplete;
  }
  if (statusCheck_ && StatusLineEndsReply(previous)) return State::kComplete;
  if (length_ + 1 == buffer_.size()) {
    if (length_ >= limit_) return State::kTooLarge;
    buffer_.resize(std::min(buffer_.size() + block_, limit_ + 1), '\0');
  }
  return State::kNeedMore;
}

// A reply whose code is not 210…219 is one line: it ends with that line. `previous` is the
// length before the last part, so each byte is searched once.
bool CddbReplyCollector::StatusLineEndsReply(std::size_t previous) {
  const std::string_view text = Text();
  if (bodyStart_ == std::string::npos) {
    const std::size_t header = text.find(kHeaderEnd, ResumeFrom(previous, kHeaderEnd));
    if (header == std::string_view::npos) return false;
    bodyStart_ = header + kHeaderEnd.size();
    previous = bodyStart_;
  }
  if (statusLineEnd_ == std::string::npos) {
    statusLineEnd_ = text.find('\n', std::max(previous, bodyStart_));
    if (statusLineEnd_ == std::string::npos) return false;
  }
  const int code = CddbReplyCode(text.substr(bodyStart_));
  return code < 210 || code > 219;
}

}  // namespace cd
