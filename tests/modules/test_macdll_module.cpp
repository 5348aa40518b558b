// The run-time module bin/MACDll.so as the program loads it: it exports exactly the C interface,
// binds by name with dlopen/dlsym, and writes and reads back a file through the bound functions.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "modules/macdll/mac_dll.h"
#include "tests/support/test_files.h"

namespace {

using testing_support::RunCommand;
using testing_support::TempDir;

const char* const kExports[] = {
    "GetInterfaceCompatibility", "c_APEDecompress_Create", "c_APEDecompress_Destroy",
    "c_APEDecompress_GetData",   "c_APEDecompress_Seek",   "c_APEDecompress_GetInfo",
    "c_APECompress_Create",      "c_APECompress_Destroy",  "c_APECompress_Start",
    "c_APECompress_AddData",     "c_APECompress_Finish",
};

// The module is built beside the test executables.
std::string ModulePath() {
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / MACDLL_FILE_NAME)
      .string();
}

class Module {
 public:
  Module() : handle_(dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~Module() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  bool loaded() const { return handle_ != nullptr; }
  template <typename Fn>
  Fn Bind(const char* name) const {
    return reinterpret_cast<Fn>(dlsym(handle_, name));
  }

 private:
  void* handle_;
};

TEST(MacDllModule, ExportsExactlyTheCInterface) {
  ASSERT_TRUE(std::filesystem::exists(ModulePath())) << ModulePath();
  int status = -1;
  std::istringstream listing(RunCommand("nm -D --defined-only '" + ModulePath() + "'", &status));
  ASSERT_EQ(status, 0);
  std::set<std::string> names;
  for (std::string address, kind, name; listing >> address >> kind >> name;) names.insert(name);
  EXPECT_EQ(names, std::set<std::string>(std::begin(kExports), std::end(kExports)));
}

TEST(MacDllModule, BoundByNameItWritesAndReadsAFile) {
  Module module;
  ASSERT_TRUE(module.loaded()) << dlerror();
  for (const char* name : kExports) EXPECT_NE(module.Bind<void*>(name), nullptr) << name;
  const auto compatible = module.Bind<GetInterfaceCompatibilityFn>("GetInterfaceCompatibility");
  EXPECT_EQ(compatible(3990, 1, nullptr), 0);
  EXPECT_NE(compatible(3980, 1, nullptr), 0);

  const auto compressCreate = module.Bind<ApeCompressCreateFn>("c_APECompress_Create");
  const auto start = module.Bind<ApeCompressStartFn>("c_APECompress_Start");
  const auto add = module.Bind<ApeCompressAddDataFn>("c_APECompress_AddData");
  const auto finish = module.Bind<ApeCompressFinishFn>("c_APECompress_Finish");
  const auto compressDestroy = module.Bind<ApeCompressDestroyFn>("c_APECompress_Destroy");
  const auto create = module.Bind<ApeDecompressCreateFn>("c_APEDecompress_Create");
  const auto info = module.Bind<ApeDecompressGetInfoFn>("c_APEDecompress_GetInfo");
  const auto getData = module.Bind<ApeDecompressGetDataFn>("c_APEDecompress_GetData");
  const auto destroy = module.Bind<ApeDecompressDestroyFn>("c_APEDecompress_Destroy");

  // A second of 16-bit stereo at 48 kHz: a ramp on the left, its mirror on the right.
  std::vector<std::uint8_t> pcm;
  for (int i = 0; i < 48000; ++i) {
    for (const int v : {i % 4000 * 8 - 16000, 16000 - i % 4000 * 8}) {
      pcm.push_back(static_cast<std::uint8_t>(v));
      pcm.push_back(static_cast<std::uint8_t>(v >> 8));
    }
  }
  TempDir dir;
  const std::string path = dir.File("ramp.ape");
  const ApeWaveFormatEx format{1, 2, 48000, 192000, 4, 16, 0};
  int error = -1;
  ApeCompressHandle encoder = compressCreate(&error);
  ASSERT_NE(encoder, nullptr);
  EXPECT_EQ(start(encoder, path.c_str(), &format, static_cast<std::int64_t>(pcm.size()), 3000,
                  nullptr, -1),
            0);
  EXPECT_EQ(add(encoder, pcm.data(), static_cast<int>(pcm.size())), 0);
  EXPECT_EQ(finish(encoder, nullptr, 0, 0), 0);
  compressDestroy(encoder);

  ApeDecompressHandle decoder = create(path.c_str(), &error);
  ASSERT_NE(decoder, nullptr) << error;
  EXPECT_EQ(info(decoder, MACDLL_INFO_SAMPLE_RATE, 0, 0), 48000);
  EXPECT_EQ(info(decoder, MACDLL_INFO_TOTAL_BLOCKS, 0, 0), 48000);
  std::vector<std::uint8_t> decoded(pcm.size() + 4);
  int got = -1;
  EXPECT_EQ(getData(decoder, decoded.data(), 48001, &got), 0);
  EXPECT_EQ(got, 48000);
  decoded.resize(pcm.size());
  EXPECT_TRUE(decoded == pcm);
  EXPECT_EQ(getData(decoder, decoded.data(), 1, &got), 0);
  EXPECT_EQ(got, 0);
  destroy(decoder);
}

}  // namespace
