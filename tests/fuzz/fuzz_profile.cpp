// libFuzzer target for settings files: any bytes parse, the placement keys read without
// reading past the input, and a key written into the parsed file reads back as written.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::Profile profile;
  profile.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const char* key : {"Max", "Left", "Top", "Right", "Bottom"})
    profile.GetInt("WindowState", key, -1);
  profile.Set("WindowState", "Left", "-123");
  platform::Profile again;
  again.Parse(profile.Text());
  if (again.GetInt("WindowState", "Left", 0) != -123) std::abort();
  return 0;
}
