// Test message box: records every box shown (from any thread) and answers questions from a
// script (default No). Installs itself for its lifetime.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace testing_support {

struct ShownBox {
  platform::BoxKind kind;
  std::string text;
};

class RecordingMessageBox : public platform::MessageBoxHandler {
 public:
  RecordingMessageBox();
  ~RecordingMessageBox() override;

  platform::BoxAnswer Show(platform::BoxKind kind, const std::string& text) override;
  void FlashMainWindow() override;

  void AnswerNext(platform::BoxAnswer answer);
  std::vector<ShownBox> Boxes() const;
  std::vector<std::string> Texts() const;
  int Flashes() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::vector<ShownBox> boxes_;
  std::deque<platform::BoxAnswer> answers_;
  int flashes_ = 0;
  platform::MessageBoxHandler* previous_;
};

}  // namespace testing_support
