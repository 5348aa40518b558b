// The attributes of a file header in the order they are listed, with the size rules of the
// header-info interface (counts, name and value lengths are WORDs).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wmf/wmf_types.h"

namespace platform::wmf {

class AttributeList {
 public:
  struct Entry {
    std::u16string name;
    WMT_ATTR_DATATYPE type;
    std::vector<BYTE> value;
  };

  // Adds at the end. An entry the interface could not describe (name of more than 65534
  // characters, value of more than 65535 bytes, or a 65536th entry) is dropped.
  void Add(std::u16string name, WMT_ATTR_DATATYPE type, std::vector<BYTE> value);
  // A string value: its UTF-16 code units and a terminating zero.
  void AddString(std::u16string name, std::u16string_view text);
  // A number of `bytes` bytes (2, 4 or 8), little-endian.
  void AddNumber(std::u16string name, WMT_ATTR_DATATYPE type, std::uint64_t value, int bytes);
  void Clear() { entries_.clear(); }

  // The IWMHeaderInfo queries (see platform/wmf/wmf.h).
  HRESULT GetCount(WORD stream, WORD* count) const;
  HRESULT GetByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                     WMT_ATTR_DATATYPE* type, BYTE* value, WORD* valueLength) const;
  HRESULT GetByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type, BYTE* value,
                    WORD* valueLength) const;

 private:
  static HRESULT CopyValue(const Entry& entry, WMT_ATTR_DATATYPE* type, BYTE* value,
                           WORD* valueLength);

  std::vector<Entry> entries_;
};

}  // namespace platform::wmf
