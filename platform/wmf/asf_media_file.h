// What the reader learns when it opens an ASF file: the header checks, the header attributes
// and the decodable audio. Works on any ByteSource, so it runs the same on a file and on
// memory.
#pragma once

#include <taglib/tiostream.h>

#include <atomic>
#include <memory>

#include "platform/wmf/attribute_list.h"
#include "platform/wmf/byte_source.h"
#include "platform/wmf/media_source.h"

namespace platform::wmf {

class AsfMediaFile {
 public:
  // Reads the header of `bytes`, its attributes through `tags` (a TagLib view of the same
  // bytes; may be null) and opens its audio. S_OK; E_ACCESSDENIED for a file with an
  // encryption object (isProtected(), nothing more is read); E_FAIL for a file that is not
  // ASF or whose header does not hold together, or the failures of MediaSource::Open.
  // The file's own attributes are left out when their objects do not hold together, or
  // when TagLib cannot read them.
  HRESULT Open(std::unique_ptr<ByteSource> bytes, TagLib::IOStream* tags,
               const std::atomic<bool>* abort);

  bool isProtected() const { return protected_; }
  // "Duration" (QWORD, 100 ns), "Bitrate" (DWORD, bit/s), then the file's own attributes.
  const AttributeList& attributes() const { return attributes_; }
  MediaSource& media() { return media_; }

 private:
  void ListTags(TagLib::IOStream* tags, bool hasContentDescription);

  std::unique_ptr<ByteSource> bytes_;
  MediaSource media_;
  AttributeList attributes_;
  bool protected_ = false;
};

}  // namespace platform::wmf
