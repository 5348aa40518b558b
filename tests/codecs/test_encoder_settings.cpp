// The encoder settings file: what a file of any length and version gives, and saving.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/encoder_settings.h"
#include "tests/support/test_files.h"

using namespace testing_support;

namespace {

// A settings file built here byte by byte: `fields` as 32-bit little-endian, version first.
std::vector<std::uint8_t> FileOf(const std::vector<std::int32_t>& fields) {
  std::vector<std::uint8_t> bytes;
  for (std::int32_t v : fields)
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> shift));
  return bytes;
}

// Version 1 and fifteen values differing from every default, in file order.
const std::vector<std::int32_t> kCustomFile = {1, 44100, 2, 5, 1, 1,   1,  1,
                                               2, 256,   2, 0, 9, 192, 64, 4000};
const EncoderSettings kCustom = {{44100, 2, 5, 1, 1, 1, 1, 2, 256, 2, 0, 9}, {192, 64}, 4000};

}  // namespace

TEST(EncoderSettingsFile, LoadStartsFromTheDefaultsAndTakesWhatAVersionOneFileHolds) {
  EncoderSettings firstTwo;
  firstTwo.mp3.resampleRate = 44100;
  firstTwo.mp3.stereoMode = 2;
  EncoderSettings allButLevel = kCustom;
  allButLevel.compressionLevel = 2000;
  auto cutInField = FileOf({1, 44100, 2, 5});
  cutInField.pop_back();
  auto longer = FileOf(kCustomFile);
  longer.insert(longer.end(), {9, 9, 9, 9});
  auto version2 = FileOf(kCustomFile);
  version2[0] = 2;

  const struct {
    const char* name;
    std::vector<std::uint8_t> bytes;  // {0xFF}: no file at all
    EncoderSettings expected;
  } cases[] = {
      {"complete", FileOf(kCustomFile), kCustom},
      {"no file", {0xFF}, {}},
      {"empty", {}, {}},
      {"version only", FileOf({1}), {}},
      {"version 2", version2, {}},
      {"two fields", FileOf({1, 44100, 2}), firstTwo},
      {"partial field dropped", cutInField, firstTwo},
      {"level missing", FileOf({kCustomFile.begin(), kCustomFile.end() - 1}), allButLevel},
      {"bytes past 64 ignored", longer, kCustom},
  };
  TempDir dir;
  for (const auto& c : cases) {
    const std::string path = dir.File(c.name);
    if (c.bytes != std::vector<std::uint8_t>{0xFF}) WriteFileBytes(path, c.bytes);
    EncoderSettings loaded = kCustom;
    LoadEncoderSettings(path, loaded);
    EXPECT_EQ(loaded, c.expected) << c.name;
  }
}

TEST(EncoderSettingsFile, SaveTruncatesToSixtyFourBytesAndFailsQuietly) {
  TempDir dir;
  const std::string path = dir.File("cvtconfig.dat");
  WriteFileBytes(path, std::vector<std::uint8_t>(100, 0xAB));
  ASSERT_TRUE(SaveEncoderSettings(path, kCustom));
  EXPECT_EQ(ReadFileBytes(path), FileOf(kCustomFile));

  EXPECT_FALSE(SaveEncoderSettings(dir.File("no/such/folder/cvtconfig.dat"), kCustom));
  EXPECT_FALSE(SaveEncoderSettings(dir.path(), kCustom));  // a folder
}
