// The encoder settings file: defaults, what a file of any length and version gives, and saving.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/encoder_settings.h"
#include "tests/support/test_files.h"

using namespace testing_support;

namespace {

// A settings file written field by field: the version, then `fields` as 32-bit little-endian.
std::vector<std::uint8_t> FileOf(std::int32_t version, const std::vector<std::int32_t>& fields) {
  std::vector<std::uint8_t> bytes;
  std::vector<std::int32_t> all{version};
  all.insert(all.end(), fields.begin(), fields.end());
  for (std::int32_t v : all)
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> shift));
  return bytes;
}

// Fifteen values differing from every default, in file order.
const std::vector<std::int32_t> kCustom = {44100, 2, 5, 1, 1, 1, 1, 2, 256, 2, 0, 9, 192, 64, 4000};

EncoderSettings Custom() {
  EncoderSettings s;
  s.mp3 = {44100, 2, 5, 1, 1, 1, 1, 2, 256, 2, 0, 9};
  s.ogg = {192, 64};
  s.compressionLevel = 4000;
  return s;
}

}  // namespace

TEST(EncoderSettingsFile, WhatEachFileGives) {
  EncoderSettings partial;  // version 1 with the first two MP3 fields only
  partial.mp3.resampleRate = 44100;
  partial.mp3.stereoMode = 2;
  EncoderSettings allButLevel = Custom();
  allButLevel.compressionLevel = 2000;
  auto truncated = FileOf(1, {44100, 2, 5});
  truncated.resize(truncated.size() - 1);  // the third field is cut short
  auto longer = FileOf(1, kCustom);
  longer.insert(longer.end(), {9, 9, 9, 9});

  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    EncoderSettings expected;
  };
  const Case cases[] = {
      {"complete", FileOf(1, kCustom), Custom()},
      {"empty", {}, EncoderSettings{}},
      {"version only", FileOf(1, {}), EncoderSettings{}},
      {"version 2", FileOf(2, kCustom), EncoderSettings{}},
      {"version 0", FileOf(0, kCustom), EncoderSettings{}},
      {"two fields", FileOf(1, {44100, 2}), partial},
      {"partial field dropped", truncated, partial},
      {"level missing", FileOf(1, std::vector(kCustom.begin(), kCustom.end() - 1)), allButLevel},
      {"bytes past 64 ignored", longer, Custom()},
  };
  TempDir dir;
  for (const Case& c : cases) {
    const std::string path = dir.File("cvtconfig.dat");
    WriteFileBytes(path, c.bytes);
    EncoderSettings loaded = Custom();  // loading starts from the defaults, not from this
    LoadEncoderSettings(path, loaded);
    EXPECT_EQ(loaded, c.expected) << c.name;
  }
}

TEST(EncoderSettingsFile, MissingFileGivesTheDefaults) {
  TempDir dir;
  EncoderSettings loaded = Custom();
  LoadEncoderSettings(dir.File("absent.dat"), loaded);
  const Mp3EncoderSettings& mp3 = loaded.mp3;
  // CBR, joint stereo, no resampling, preset 0, quality 5, VBR header on; no Ogg limits; 2000.
  EXPECT_EQ(FileOf(1, {mp3.resampleRate, mp3.stereoMode, mp3.preset, mp3.copyrightBit, mp3.crcBit,
                       mp3.originalBit, mp3.privateBit, mp3.encodingMode, mp3.maxVbrBitrate,
                       mp3.vbrMethod, mp3.writeVbrHeader, mp3.vbrQuality, loaded.ogg.maxBitrate,
                       loaded.ogg.minBitrate, loaded.compressionLevel}),
            FileOf(1, {-1, 1, 0, 0, 0, 0, 0, 0, 320, 0, 1, 5, -1, -1, 2000}));
}

TEST(EncoderSettingsFile, SaveWritesSixtyFourBytesThatLoadBack) {
  TempDir dir;
  const std::string path = dir.File("cvtconfig.dat");
  WriteFileBytes(path, std::vector<std::uint8_t>(100, 0xAB));  // a longer file is truncated
  ASSERT_TRUE(SaveEncoderSettings(path, Custom()));
  EXPECT_EQ(ReadFileBytes(path), FileOf(1, kCustom));
  EncoderSettings loaded;
  LoadEncoderSettings(path, loaded);
  EXPECT_EQ(loaded, Custom());
}

TEST(EncoderSettingsFile, SaveFailsQuietlyWhereNoFileCanBeMade) {
  TempDir dir;
  EXPECT_FALSE(SaveEncoderSettings(dir.File("no/such/folder/cvtconfig.dat"), Custom()));
  EXPECT_FALSE(SaveEncoderSettings(dir.path(), Custom()));  // a folder
}
