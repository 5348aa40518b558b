#include "tests/support/test_files.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testing_support {
namespace {

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "wavelathe-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

void WriteWav(const std::string& path, int rate, int channels, int bits, std::int64_t frames,
              const SampleFn& sample) {
  const int bytes = bits / 8;
  const std::uint64_t dataSize = static_cast<std::uint64_t>(frames) * channels * bytes;
  std::vector<std::uint8_t> out;
  out.reserve(44 + dataSize);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  Put32(out, static_cast<std::uint32_t>(36 + dataSize));
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, channels);
  Put32(out, rate);
  Put32(out, rate * channels * bytes);
  Put16(out, channels * bytes);
  Put16(out, bits);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  Put32(out, static_cast<std::uint32_t>(dataSize));
  for (std::int64_t f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c) {
      const auto v = static_cast<std::uint32_t>(sample(f, c));
      for (int b = 0; b < bytes; ++b) out.push_back((v >> (8 * b)) & 0xFF);
    }
  }
  WriteFileBytes(path, out);
}

std::int32_t NoiseSample(std::int64_t frame, int channel) {
  std::uint64_t x = static_cast<std::uint64_t>(frame) * 2654435761u + channel * 40503u + 12345u;
  x ^= x >> 13;
  x *= 0x5bd1e995u;
  x ^= x >> 15;
  return static_cast<std::int16_t>(x & 0xFFFF);
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::string RunCommand(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    if (status) *status = -1;
    return output;
  }
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  const int rc = pclose(pipe);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return output;
}

std::string TestDataDir() {
  const char* chosen = std::getenv("WAVELATHE_TESTDATA");
  return chosen != nullptr && *chosen != '\0' ? chosen : WAVELATHE_TESTDATA;
}

std::string TestDataMissingReason() {
  const std::string dir = TestDataDir();
  std::error_code error;
  if (std::filesystem::is_directory(dir + "/real", error)) return "";
  return "the shared test data is not here (" + dir +
         "/real); set WAVELATHE_TESTDATA to its folder to run this test";
}

std::string RealTestFile(const std::string& name) { return TestDataDir() + "/real/" + name; }

bool RunAsUnprivilegedUser(const std::function<bool()>& body) {
  if (geteuid() != 0) return body();
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    const bool ok = setgid(65534) == 0 && setuid(65534) == 0 && body();
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace testing_support
