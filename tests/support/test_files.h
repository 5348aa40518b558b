// Test media and folders: a private temporary folder per test, raw WAV files written byte by
// byte here (independent of the program's own writer), and command helpers for the public
// tools used as oracles (sox, ffprobe, ffmpeg).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sample value of `channel` in `frame`, as a signed value of the file's width (8-bit values
// are given as unsigned bytes 0..255).
using SampleFn = std::function<std::int32_t(std::int64_t frame, int channel)>;

// Writes a canonical 44-byte-header PCM WAV file.
void WriteWav(const std::string& path, int rate, int channels, int bits, std::int64_t frames,
              const SampleFn& sample);
// A repeatable pseudo-random 16-bit signal (distinct per frame and channel).
std::int32_t NoiseSample(std::int64_t frame, int channel);

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
// Names of the entries of `folder`, sorted.
std::vector<std::string> FilesIn(const std::string& folder);
void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
// Runs a shell command; returns its standard output. `status` receives the exit code.
std::string RunCommand(const std::string& command, int* status = nullptr);
// The shared read-only test data: files written by other programs and hostile files. It lies
// beside the project ("../shared/testdata"), or where WAVELATHE_TESTDATA points. It is optional
// for a clone of the project; a test that needs it starts with SKIP_WITHOUT_TESTDATA().
std::string TestDataDir();
// Why the test data cannot be used here, or "" when it can.
std::string TestDataMissingReason();
// Path of a file in the shared test data ("real/<name>").
std::string RealTestFile(const std::string& name);
// Runs `body` and returns its result; when the tests run as root (whom permission bits do
// not stop) it runs in a child process as the unprivileged user 65534 instead. Folders the
// body uses must be reachable for that user.
bool RunAsUnprivilegedUser(const std::function<bool()>& body);

}  // namespace testing_support

// Skips the current test, with the reason, when the shared test data is absent.
#define SKIP_WITHOUT_TESTDATA()                                                             \
  if (const std::string reason = testing_support::TestDataMissingReason(); !reason.empty()) \
  GTEST_SKIP() << reason
