// libFuzzer target for what the Windows Media reader takes from a file: the header walk,
// the attributes (TagLib), the stream and its first blocks of audio (FFmpeg), all in memory.
// Nothing may crash, hang, or allocate without bound; the attribute queries must stay
// inside the sizes they report.
#include <taglib/tbytevectorstream.h>

#include <cstdint>
#include <vector>

#include "platform/wmf/asf_media_file.h"

extern "C" {
#include <libavutil/log.h>
}

using namespace platform::wmf;

namespace {

// Reads every attribute the way callers do: sizes first, then name and value.
void QueryAll(const AttributeList& attributes) {
  WORD count = 0;
  if (FAILED(attributes.GetCount(0, &count))) return;
  for (WORD i = 0; i < count; ++i) {
    WORD stream = 0, nameLength = 0, valueLength = 0;
    WMT_ATTR_DATATYPE type;
    if (FAILED(attributes.GetByIndex(i, &stream, nullptr, &nameLength, &type, nullptr,
                                     &valueLength))) {
      continue;
    }
    std::vector<WCHAR> name(nameLength);
    std::vector<BYTE> value(valueLength);
    if (FAILED(attributes.GetByIndex(i, &stream, name.data(), &nameLength, &type, value.data(),
                                     &valueLength))) {
      continue;
    }
    attributes.GetByName(&stream, name.data(), &type, value.data(), &valueLength);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = (av_log_set_level(AV_LOG_QUIET), true);
  (void)quiet;
  TagLib::ByteVectorStream tags(
      TagLib::ByteVector(reinterpret_cast<const char*>(data), static_cast<unsigned int>(size)));
  AsfMediaFile file;
  if (FAILED(file.Open(ByteSource::FromMemory(data, size), &tags, nullptr))) return 0;
  QueryAll(file.attributes());
  const std::uint8_t* pcm = nullptr;
  std::size_t frames = 0;
  for (int block = 0; block < 64 && file.media().NextBlock(&pcm, &frames); ++block) {
    volatile std::uint8_t touch = pcm[frames * file.media().channels() * 2 - 1];
    (void)touch;
  }
  return 0;
}
