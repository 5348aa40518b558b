// main() of the plain (non-Qt) tests: audio goes to ALSA's null device unless a test or the
// caller names another.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("WAVELATHE_AUDIO_DEVICE", "null", 0);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
