// Names the audio device (WAVELATHE_AUDIO_DEVICE) for one scope and restores the previous
// value afterwards.
#pragma once

#include <cstdlib>
#include <string>

namespace testing_support {

class DeviceEnv {
 public:
  explicit DeviceEnv(const std::string& name) {
    const char* old = std::getenv("WAVELATHE_AUDIO_DEVICE");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("WAVELATHE_AUDIO_DEVICE", name.c_str(), 1);
  }
  ~DeviceEnv() {
    if (had_) {
      setenv("WAVELATHE_AUDIO_DEVICE", old_.c_str(), 1);
    } else {
      unsetenv("WAVELATHE_AUDIO_DEVICE");
    }
  }
  DeviceEnv(const DeviceEnv&) = delete;
  DeviceEnv& operator=(const DeviceEnv&) = delete;

 private:
  bool had_ = false;
  std::string old_;
};

}  // namespace testing_support
