// Message boxes, reachable from any layer without a GUI dependency.
//
// The application installs a handler (the Qt one shows QMessageBox on the UI thread, carrying
// calls from worker threads over and blocking them until answered); tests install a recorder.
// Without a handler the text goes to stderr and questions are answered No.
#pragma once

#include <string>

namespace platform {

enum class BoxKind {
  kInformation,  // OK button, information icon (ShowMessage)
  kPlain,        // OK button, no icon
  kQuestion,     // Yes/No buttons, question icon
};

enum class BoxAnswer { kOk, kYes, kNo };

class MessageBoxHandler {
 public:
  virtual ~MessageBoxHandler() = default;
  // Shows `text` (UTF-8) and returns the button pressed. May be called from any thread.
  virtual BoxAnswer Show(BoxKind kind, const std::string& text) = 0;
  // Returns the main window's caption to its normal, not highlighted state. The program never
  // highlights it, so there is nothing to undo: the default does nothing, and the Qt handler
  // keeps the default (an alert here would highlight the caption, the opposite).
  virtual void FlashMainWindow() {}
};

// Installs `handler` (not owned; null uninstalls) and returns the previous one.
MessageBoxHandler* InstallMessageBoxHandler(MessageBoxHandler* handler);

BoxAnswer ShowBox(BoxKind kind, const std::string& text);
// The application's information message box.
void ShowMessage(const std::string& text);
void FlashMainWindow();

}  // namespace platform
