// The metadata editor: the attributes the WMA codec writes into its exports round-trip and
// are what ffprobe and TagLib read; missing and empty attributes; files of other encoders;
// misuse.
#include <gtest/gtest.h>
#include <taglib/asffile.h>

#include <filesystem>

#include "tests/support/test_files.h"
#include "tests/wmf/wmf_export.h"
#include "tests/wmf/wmf_harness.h"

using namespace wmf_test;
using testing_support::TempDir;

namespace {

const char16_t* const kCodecNames[] = {u"Title",         u"Author",   u"WM/Title", u"WM/Author",
                                       u"WM/AlbumTitle", u"WM/Track", u"WM/Year",  u"WM/GenreID"};

class Editor {
 public:
  Editor() : editor_(Made<IWMMetadataEditor>(WMCreateEditor)) {}
  HRESULT Open(const std::string& path) {
    const HRESULT hr = editor_->Open(W(path).c_str());
    if (SUCCEEDED(hr)) header_ = Query<IWMHeaderInfo>(editor_.get());
    return hr;
  }
  // As the WMA codec writes: UTF-16 with its terminator and one more zero, both counted.
  HRESULT Set(const char16_t* name, const std::string& value) {
    std::u16string wide = W(value);
    wide.append(2, u'\0');
    return header_->SetAttribute(0, name, WMT_TYPE_STRING,
                                 reinterpret_cast<const BYTE*>(wide.data()),
                                 static_cast<WORD>(wide.size() * 2));
  }
  std::optional<std::string> Get(const char16_t* name) {
    WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
    const auto value = Attribute(header_.get(), name, &type);
    if (!value) return std::nullopt;
    EXPECT_EQ(type, WMT_TYPE_STRING) << Text(*value);
    return Text(*value);
  }
  IWMMetadataEditor* operator->() { return editor_.get(); }
  IWMHeaderInfo* header() { return header_.get(); }

 private:
  ComPtr<IWMMetadataEditor> editor_;
  ComPtr<IWMHeaderInfo> header_;
};

std::string TagLibAttribute(TagLib::ASF::Tag* tag, const char* name) {
  const TagLib::ASF::AttributeList values = tag->attribute(name);
  return values.isEmpty() ? "<absent>" : values.front().toString().to8Bit(true);
}

}  // namespace

TEST(WmfEditor, RoundTripsTheAttributesTheCodecWrites) {
  const std::vector<std::string> rows[] = {
      {"中文标题", "作者名", "中文标题", "作者名", "专辑 Ⅱ", "7", "2024", "Rock"},
      {"", "", "", "", "", "", "", "Only the genre"},
  };
  TempDir dir;
  const std::string path = dir.File("tags.wma");
  const std::string tone = RunCommand("ffmpeg -v error " + Signal(22050, 1, 1) + " -f s16le -");
  for (const auto& values : rows) {
    SCOPED_TRACE(values[0]);
    ASSERT_TRUE(WriteWma(path, 22050, 1, 32, tone));
    const std::string audio = FfmpegPcm(path);
    {
      Editor editor;
      ASSERT_EQ(editor.Open(path), S_OK);
      for (int i = 0; i < 8; ++i) EXPECT_EQ(editor.Set(kCodecNames[i], values[i]), S_OK);
      EXPECT_EQ(editor->Flush(), S_OK);
      EXPECT_EQ(editor->Close(), S_OK);
    }
    Editor editor;
    ASSERT_EQ(editor.Open(path), S_OK);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(editor.Get(kCodecNames[i]), values[i]) << i;

    const auto probed = [&](const char* tag) {
      return Probe(path, std::string("format_tags=") + tag);
    };
    EXPECT_EQ(probed("title"), values[0]);
    EXPECT_EQ(probed("artist"), values[1]);
    EXPECT_EQ(probed("album"), values[4]);
    EXPECT_EQ(probed("WM/GenreID"), values[7]);
    TagLib::ASF::File file(path.c_str());
    ASSERT_TRUE(file.isValid());
    EXPECT_EQ(file.tag()->title().to8Bit(true), values[0]);
    EXPECT_EQ(file.tag()->artist().to8Bit(true), values[1]);
    for (int i = 2; i < 8; ++i) {
      std::string name;
      ASSERT_TRUE(Utf16ToUtf8(kCodecNames[i], &name));
      EXPECT_EQ(TagLibAttribute(file.tag(), name.c_str()), values[i]) << name;
    }
    EXPECT_TRUE(FfmpegPcm(path) == audio) << "the audio is untouched";
  }
}

TEST(WmfEditor, TellsMissingFromEmpty) {
  TempDir dir;
  const std::string path = dir.File("bare.wma");
  ASSERT_TRUE(WriteWma(path, 8000, 1, 24, std::string(16000, '\0')));
  Editor editor;
  ASSERT_EQ(editor.Open(path), S_OK);
  // No content description in the file: neither "Title" nor "Author" is there.
  for (const char16_t* name : {u"Title", u"Author", u"WM/Title", u"WM/AlbumTitle"}) {
    WORD stream = 0, length = 0;
    WMT_ATTR_DATATYPE type;
    EXPECT_EQ(editor.header()->GetAttributeByName(&stream, name, &type, nullptr, &length),
              MakeHresult(0xC00D07F0));
  }
  ASSERT_EQ(editor.Set(u"Title", ""), S_OK);
  EXPECT_EQ(editor.Get(u"Title"), "") << "present, and empty";
  EXPECT_EQ(editor.Get(u"Author"), "") << "the content description holds both";
  EXPECT_EQ(editor.Get(u"WM/Title"), std::nullopt);
  ASSERT_EQ(editor->Flush(), S_OK);
  ASSERT_EQ(editor->Close(), S_OK);
  ASSERT_EQ(editor.Open(path), S_OK);
  EXPECT_EQ(editor.Get(u"Title"), "");
  EXPECT_EQ(editor.Get(u"WM/Title"), std::nullopt);
}

TEST(WmfEditor, ReadsTheAttributesOfOtherEncoders) {
  if (!std::filesystem::exists(testing_support::RealTestFile(""))) {
    GTEST_SKIP() << "shared test data folder absent";
  }
  const struct {
    const char* file;
    const char16_t* name;
    const char* probeTag;
  } cases[] = {
      // Its title, author and album are read through the editor by the WMA codec's tests.
      {"real_example.wma", u"WM/Genre", "genre"},
      {"real_example.wma", u"WM/Provider", "WM/Provider"},
      {"silence-1.wma", u"Title", "title"},
  };
  for (const auto& c : cases) {
    const std::string path = testing_support::RealTestFile(c.file);
    SCOPED_TRACE(std::string(c.file) + " " + c.probeTag);
    Editor editor;
    ASSERT_EQ(editor.Open(path), S_OK);
    const std::string probed = Probe(path, std::string("format_tags=") + c.probeTag);
    EXPECT_FALSE(probed.empty());
    EXPECT_EQ(editor.Get(c.name), probed);
  }
}

TEST(WmfEditor, RefusesMisuse) {
  TempDir dir;
  const std::string path = dir.File("m.wma");
  ASSERT_TRUE(WriteWma(path, 8000, 1, 24, std::string(16000, '\0')));
  Editor editor;
  EXPECT_EQ(editor.Open(dir.File("absent.wma")), E_FILE_NOT_FOUND);
  EXPECT_EQ(editor.Open(path + "/x.wma"), E_PATH_NOT_FOUND);
  EXPECT_EQ(editor->Flush(), NS_E_INVALID_REQUEST) << "nothing open";
  ASSERT_EQ(editor.Open(path), S_OK);
  EXPECT_EQ(editor.Open(path), NS_E_INVALID_REQUEST) << "open already";
  const BYTE four[4] = {1, 0, 0, 0};
  EXPECT_EQ(editor.header()->SetAttribute(0, u"WM/Track", WMT_TYPE_DWORD, four, 4), E_INVALIDARG);
  EXPECT_EQ(editor.header()->SetAttribute(1, u"WM/Track", WMT_TYPE_STRING, four, 4), E_INVALIDARG);
  ASSERT_EQ(editor.Set(u"WM/Year", "2024"), S_OK);
  WORD stream = 0, length = 4;
  WMT_ATTR_DATATYPE type;
  BYTE small[4];
  EXPECT_EQ(editor.header()->GetAttributeByName(&stream, u"WM/Year", &type, small, &length),
            E_INSUFFICIENT_BUFFER);
  ASSERT_EQ(editor->Close(), S_OK);
  EXPECT_EQ(editor->Close(), NS_E_INVALID_REQUEST);
  ASSERT_EQ(editor.Open(path), S_OK);
  EXPECT_EQ(editor.Get(u"WM/Year"), std::nullopt) << "Close drops what was not flushed";
}
