#include "tests/support/recording_message_box.h"

namespace testing_support {

RecordingMessageBox::RecordingMessageBox() : previous_(platform::InstallMessageBoxHandler(this)) {}

RecordingMessageBox::~RecordingMessageBox() { platform::InstallMessageBoxHandler(previous_); }

platform::BoxAnswer RecordingMessageBox::Show(platform::BoxKind kind, const std::string& text) {
  std::lock_guard lock(mutex_);
  boxes_.push_back({kind, text});
  if (kind != platform::BoxKind::kQuestion) return platform::BoxAnswer::kOk;
  if (answers_.empty()) return platform::BoxAnswer::kNo;
  const platform::BoxAnswer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void RecordingMessageBox::FlashMainWindow() {
  std::lock_guard lock(mutex_);
  ++flashes_;
}

void RecordingMessageBox::AnswerNext(platform::BoxAnswer answer) {
  std::lock_guard lock(mutex_);
  answers_.push_back(answer);
}

std::vector<ShownBox> RecordingMessageBox::Boxes() const {
  std::lock_guard lock(mutex_);
  return boxes_;
}

std::vector<std::string> RecordingMessageBox::Texts() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> texts;
  for (const ShownBox& box : boxes_) texts.push_back(box.text);
  return texts;
}

int RecordingMessageBox::Flashes() const {
  std::lock_guard lock(mutex_);
  return flashes_;
}

void RecordingMessageBox::Clear() {
  std::lock_guard lock(mutex_);
  boxes_.clear();
  flashes_ = 0;
}

}  // namespace testing_support
