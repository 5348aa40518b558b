// Damaged, hostile and protected files: a failure result or a shorter decode, never a crash,
// a hang or a huge allocation; protected files report that they cannot be played.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "tests/support/test_files.h"
#include "tests/wmf/wmf_harness.h"

using namespace wmf_test;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

namespace {

std::vector<std::uint8_t> GoodFile(const TempDir& dir) {
  const std::string path = dir.File("good.wma");
  EXPECT_TRUE(
      Ffmpeg(Signal(22050, 2, 2) + " -c:a wmav2 -b:a 64k -metadata title=T " + Quote(path)));
  return ReadFileBytes(path);
}

HRESULT EditorOpen(const std::string& path) {
  return Made<IWMMetadataEditor>(WMCreateEditor)->Open(W(path).c_str());
}

}  // namespace

TEST(WmfHostile, DamagedHeadersAreRefusedByReaderAndEditor) {
  TempDir dir;
  const AsfBytes good(GoodFile(dir));
  const std::size_t fileProperties = good.Find(kFileProperties);
  const std::size_t extension = good.Find(kHeaderExtension);
  ASSERT_NE(fileProperties, 0u);
  ASSERT_NE(extension, 0u);
  const struct {
    const char* what;
    std::function<void(AsfBytes&)> damage;
  } cases[] = {
      {"empty", [](AsfBytes& f) { f.bytes().clear(); }},
      {"a WAV file",
       [](AsfBytes& f) {
         f.bytes().assign({'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
       }},
      {"cut inside the header object", [](AsfBytes& f) { f.bytes().resize(29); }},
      {"cut in the middle of the header",
       [](AsfBytes& f) { f.bytes().resize(f.headerSize() / 2); }},
      {"header larger than the file", [](AsfBytes& f) { f.Put(16, f.bytes().size() + 1, 8); }},
      {"header size 2^63", [](AsfBytes& f) { f.Put(16, 1ULL << 63, 8); }},
      {"object count 2^32-1", [](AsfBytes& f) { f.Put(24, 0xFFFFFFFF, 4); }},
      {"object size 0", [=](AsfBytes& f) { f.Put(fileProperties + 16, 0, 8); }},
      {"object size 2^63", [=](AsfBytes& f) { f.Put(fileProperties + 16, 1ULL << 63, 8); }},
      {"extension data beyond its object",
       [=](AsfBytes& f) { f.Put(extension + 42, 0x7FFFFFFF, 4); }},
      {"play duration 0", [=](AsfBytes& f) { f.Put(fileProperties + 24 + 40, 0, 8); }},
      {"play duration shorter than the preroll",
       [=](AsfBytes& f) { f.Put(fileProperties + 24 + 40, 10000, 8); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AsfBytes file = good;
    c.damage(file);
    const std::string path = dir.File("damaged.wma");
    WriteFileBytes(path, file.bytes());
    TestReader reader;
    EXPECT_TRUE(FAILED(reader.Open(path)));
    EXPECT_EQ(reader.reader()->Start(0, 0, 1.0f, nullptr), NS_E_INVALID_REQUEST);
    const bool headerHolds = std::string(c.what).rfind("play duration", 0) == 0;
    if (!headerHolds) {
      EXPECT_TRUE(FAILED(EditorOpen(path)));
    }
  }
}

TEST(WmfHostile, AttributesThatOverrunTheirObjectAreLeftOut) {
  TempDir dir;
  const AsfBytes good(GoodFile(dir));
  const std::size_t description = good.Find(kContentDescription);
  const std::size_t extended = good.Find(kExtendedContentDescription);
  ASSERT_NE(description, 0u);
  ASSERT_NE(extended, 0u);
  {
    TestReader reader;
    ASSERT_EQ(reader.Open(dir.File("good.wma")), S_OK);
    EXPECT_EQ(Text(Attribute(reader.header().get(), u"Title").value_or(std::vector<BYTE>{})), "T");
    EXPECT_TRUE(Attribute(reader.header().get(), u"WM/EncodingSettings").has_value());
  }
  const struct {
    const char* what;
    std::size_t at;
    std::uint64_t value;
    int bytes;
  } cases[] = {
      {"65535 extended attributes", extended + 24, 0xFFFF, 2},
      {"an extended attribute name past the object", extended + 26, 0x7FFF, 2},
      {"a title past the object", description + 24, 0xFFFE, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AsfBytes file = good;
    file.Put(c.at, c.value, c.bytes);
    const std::string path = dir.File("overrun.wma");
    WriteFileBytes(path, file.bytes());
    TestReader reader;
    ASSERT_EQ(reader.Open(path), S_OK) << "the audio still plays";
    const ComPtr<IWMHeaderInfo> header = reader.header();
    EXPECT_TRUE(Attribute(header.get(), u"Duration").has_value());
    EXPECT_FALSE(Attribute(header.get(), u"Title").has_value());
    EXPECT_FALSE(Attribute(header.get(), u"WM/EncodingSettings").has_value());
    EXPECT_EQ(EditorOpen(path), E_FAIL) << "the editor would write them back";
  }
}

TEST(WmfHostile, DamagedAudioGivesAShorterDecode) {
  TempDir dir;
  const AsfBytes good(GoodFile(dir));
  const std::size_t full = good.bytes().size();
  const struct {
    const char* what;
    std::function<void(AsfBytes&)> damage;
  } cases[] = {
      {"cut in the data",
       [=](AsfBytes& f) { f.bytes().resize(f.headerSize() + (full - f.headerSize()) / 3); }},
      {"garbage in the data",
       [=](AsfBytes& f) {
         for (std::size_t i = f.headerSize() + 600; i < full * 2 / 3; i += 7) f.bytes()[i] ^= 0x5A;
       }},
  };
  const std::string whole = FfmpegPcm(dir.File("good.wma"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AsfBytes file = good;
    c.damage(file);
    const std::string path = dir.File("damaged.wma");
    WriteFileBytes(path, file.bytes());
    TestReader reader;
    ASSERT_EQ(reader.Open(path), S_OK);
    reader.ReadToEnd();
    const std::string pcm = reader.harness().seen().pcm;
    EXPECT_LT(pcm.size(), whole.size());
    if (std::string(c.what) == "cut in the data") {
      EXPECT_TRUE(pcm == FfmpegPcm(path));
    }
  }
}

TEST(WmfHostile, EncryptedFilesReportNoRights) {
  TempDir dir;
  const AsfBytes good(GoodFile(dir));
  auto lengthPrefixed = [](std::vector<std::uint8_t> body, const std::string& text) {
    const std::size_t at = body.size();
    body.resize(at + 4 + text.size());
    for (int i = 0; i < 4; ++i) body[at + i] = static_cast<std::uint8_t>(text.size() >> (8 * i));
    std::memcpy(body.data() + at + 4, text.data(), text.size());
    return body;
  };
  std::vector<std::uint8_t> protection;
  for (const std::string& part : {std::string("secret"), std::string("DRM\0", 4),
                                  std::string("key"), std::string("http://x/")}) {
    protection = lengthPrefixed(protection, part);
  }
  const struct {
    const char* what;
    std::vector<std::uint8_t> guid, body;
    bool inExtension;
    const char* probeTag;  // what ffprobe reports of it ("" when it shows nothing)
  } cases[] = {
      {"content encryption",
       GuidBytes(0x2211B3FB, 0xBD23, 0x11D2, {0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E}),
       protection, false, "format_tags=ASF_Protection_Type"},
      {"extended content encryption",
       GuidBytes(0x298AE614, 0x2622, 0x4C17, {0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C}),
       lengthPrefixed({}, "<WRMHEADER/>"), false, "format_tags=encryption"},
      {"advanced content encryption",
       GuidBytes(0x43058533, 0x6981, 0x49E6, {0x9B, 0x74, 0xAD, 0x12, 0xCB, 0x86, 0xD5, 0x8C}),
       {0, 0},
       true,
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AsfBytes file = good;
    const std::size_t extension = file.Find(kHeaderExtension);
    file.Insert(c.inExtension ? extension + 46 : 30, c.guid, c.body, c.inExtension ? extension : 0);
    const std::string path = dir.File("protected.wma");
    WriteFileBytes(path, file.bytes());
    if (*c.probeTag != '\0') {
      EXPECT_NE(Probe(path, c.probeTag), "") << "ffprobe sees it";
    }
    TestReader reader;
    EXPECT_EQ(reader.Open(path), E_ACCESSDENIED);
    EXPECT_EQ(reader.harness().seen().statuses,
              (std::vector<WMT_STATUS>{WMT_NO_RIGHTS, WMT_OPENED}));
    EXPECT_EQ(EditorOpen(path), S_OK) << "the attributes stay readable";
  }
}
