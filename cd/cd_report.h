// How the CD layer tells the user about a failure: flash the main window and show
// "text - track path" in the information message box, as every source format does.
#pragma once

#include <string>
#include <string_view>

namespace cd {

void ReportCdError(const std::string& text, const std::string& trackPath);
// `format` with its first "%s" or "%d" replaced by `value`.
std::string FillIn(std::string_view format, std::string_view value);

}  // namespace cd
