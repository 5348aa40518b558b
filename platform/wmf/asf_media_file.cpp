#include "platform/wmf/asf_media_file.h"

#include <taglib/asffile.h>

#include "platform/wmf/asf_header.h"
#include "platform/wmf/asf_tag_attributes.h"

namespace platform::wmf {

HRESULT AsfMediaFile::Open(std::unique_ptr<ByteSource> bytes, TagLib::IOStream* tags,
                           const std::atomic<bool>* abort) {
  bytes_ = std::move(bytes);
  AsfHeader header;
  if (FAILED(header.Read(*bytes_))) return E_FAIL;
  if (header.encrypted()) {
    protected_ = true;
    return E_ACCESSDENIED;
  }
  const HRESULT hr = media_.Open(*bytes_, abort);
  if (FAILED(hr)) return hr;
  attributes_.AddNumber(u"Duration", WMT_TYPE_QWORD,
                        static_cast<std::uint64_t>(media_.duration100ns()), 8);
  attributes_.AddNumber(u"Bitrate", WMT_TYPE_DWORD, media_.bitrate(), 4);
  if (header.attributesFit()) ListTags(tags, header.hasContentDescription());
  return S_OK;
}

void AsfMediaFile::ListTags(TagLib::IOStream* tags, bool hasContentDescription) {
  if (tags == nullptr) return;
  TagLib::ASF::File file(tags, false);
  if (file.isValid() && file.tag() != nullptr) {
    AsfTagAttributes::List(*file.tag(), hasContentDescription, &attributes_);
  }
}

}  // namespace platform::wmf
