#include "cd/cd_report.h"

#include <algorithm>

#include "platform/message_box.h"

namespace cd {

void ReportCdError(const std::string& text, const std::string& trackPath) {
  platform::FlashMainWindow();
  platform::ShowMessage(text + " - " + trackPath);
}

std::string FillIn(std::string_view format, std::string_view value) {
  const std::size_t at = std::min(format.find("%s"), format.find("%d"));
  std::string text(format);
  if (at != std::string_view::npos) text.replace(at, 2, value);
  return text;
}

}  // namespace cd
