// The run-time module bin/MACDll.so as the program loads it: it exports exactly the C interface
// and serves only its own interface version.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "modules/macdll/mac_dll.h"
#include "tests/support/test_files.h"

namespace {

using testing_support::RunCommand;

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

TEST(MacDllModule, ExportsExactlyTheCInterface) {
  ASSERT_TRUE(std::filesystem::exists(ModulePath())) << ModulePath();
  int status = -1;
  std::istringstream listing(RunCommand("nm -D --defined-only '" + ModulePath() + "'", &status));
  ASSERT_EQ(status, 0);
  std::set<std::string> names;
  for (std::string address, kind, name; listing >> address >> kind >> name;) names.insert(name);
  EXPECT_EQ(names, std::set<std::string>(std::begin(kExports), std::end(kExports)));
}

// Binding every name and writing and reading files through the bound functions is what the
// program's loader does in every test of codecs_test_ape_music.
TEST(MacDllModule, ServesOnlyItsOwnInterfaceVersion) {
  void* module = dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  const auto compatible =
      reinterpret_cast<GetInterfaceCompatibilityFn>(dlsym(module, "GetInterfaceCompatibility"));
  ASSERT_NE(compatible, nullptr);
  for (const auto& [version, served] : {std::pair{3990, true}, {3980, false}})
    EXPECT_EQ(compatible(version, 1, nullptr) == 0, served) << version;
  dlclose(module);
}

}  // namespace
