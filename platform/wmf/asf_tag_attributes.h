// The attributes of a TagLib ASF tag seen as header attributes, and string attributes
// stored back into the tag.
#pragma once

#include <taglib/asftag.h>

#include <string>

#include "platform/wmf/attribute_list.h"

namespace platform::wmf {

class AsfTagAttributes {
 public:
  // Appends the content description ("Title", "Author", "Copyright", "Description",
  // "Rating") when the header has one, then every other attribute of stream 0 with its
  // type, numbers as little-endian bytes.
  static void List(const TagLib::ASF::Tag& tag, bool hasContentDescription, AttributeList* list);
  // Stores `text` under `name`, replacing what was there; returns true when the name belongs
  // to the content description.
  static bool StoreString(TagLib::ASF::Tag* tag, const std::u16string& name,
                          const std::u16string& text);
};

}  // namespace platform::wmf
