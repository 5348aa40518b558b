// A bounded walk over the objects of an ASF header: checks that every object lies inside the
// header and the header inside the file, and notes the objects the runtime cares about
// before any library parses the file.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/wmf/byte_source.h"
#include "platform/wmf/wmf_types.h"

namespace platform::wmf {

class AsfHeader {
 public:
  // Headers larger than this are refused (they would be read into memory whole).
  static constexpr std::uint64_t kMaxHeaderBytes = 64u << 20;

  // S_OK for a well-formed header; E_FAIL when the bytes do not start with an ASF header,
  // when an object size or count does not fit, or when the header is larger than
  // kMaxHeaderBytes.
  HRESULT Read(ByteSource& bytes);

  std::uint64_t size() const { return size_; }
  // A content-encryption, extended content-encryption or advanced content-encryption
  // object (the last one inside the header extension).
  bool encrypted() const { return encrypted_; }
  // The content description object (title, author, copyright, description, rating).
  bool hasContentDescription() const { return hasContentDescription_; }
  // Every entry of the content description, extended content description, metadata and
  // metadata library objects lies inside its object (TagLib reads them without looking at
  // the object's end).
  bool attributesFit() const { return attributesFit_; }

 private:
  HRESULT WalkObjects(ByteSource& bytes, std::uint64_t begin, std::uint64_t end,
                      std::uint64_t count, bool topLevel);
  HRESULT WalkExtension(ByteSource& bytes, std::uint64_t begin, std::uint64_t end);
  HRESULT Note(ByteSource& bytes, const GUID& id, std::uint64_t begin, std::uint64_t size,
               bool topLevel);
  // Checks the entries of an attribute object; `entries` walks its body.
  HRESULT CheckEntries(ByteSource& bytes, std::uint64_t begin, std::uint64_t size,
                       bool (*entries)(const std::vector<std::uint8_t>& body));

  std::uint64_t size_ = 0;
  bool encrypted_ = false;
  bool hasContentDescription_ = false;
  bool attributesFit_ = true;
};

}  // namespace platform::wmf
