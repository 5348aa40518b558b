#include "platform/wmf/attribute_list.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/wmf/wide_text.h"

namespace platform::wmf {

namespace {

constexpr std::size_t kMaxWord = std::numeric_limits<WORD>::max();

}  // namespace

void AttributeList::Add(std::u16string name, WMT_ATTR_DATATYPE type, std::vector<BYTE> value) {
  if (name.size() >= kMaxWord || value.size() > kMaxWord || entries_.size() >= kMaxWord) return;
  entries_.push_back(Entry{std::move(name), type, std::move(value)});
}

void AttributeList::AddString(std::u16string name, std::u16string_view text) {
  std::vector<BYTE> value((text.size() + 1) * 2, 0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    value[2 * i] = static_cast<BYTE>(text[i]);
    value[2 * i + 1] = static_cast<BYTE>(text[i] >> 8);
  }
  Add(std::move(name), WMT_TYPE_STRING, std::move(value));
}

void AttributeList::AddNumber(std::u16string name, WMT_ATTR_DATATYPE type, std::uint64_t value,
                              int bytes) {
  std::vector<BYTE> le(bytes);
  for (int i = 0; i < bytes; ++i) le[i] = static_cast<BYTE>(value >> (8 * i));
  Add(std::move(name), type, std::move(le));
}

HRESULT AttributeList::GetCount(WORD stream, WORD* count) const {
  if (count == nullptr) return E_POINTER;
  *count = stream == 0 ? static_cast<WORD>(entries_.size()) : 0;
  return S_OK;
}

HRESULT AttributeList::CopyValue(const Entry& entry, WMT_ATTR_DATATYPE* type, BYTE* value,
                                 WORD* valueLength) {
  if (type == nullptr || valueLength == nullptr) return E_POINTER;
  const auto needed = static_cast<WORD>(entry.value.size());
  if (value != nullptr) {
    if (*valueLength < needed) return E_INSUFFICIENT_BUFFER;
    std::copy(entry.value.begin(), entry.value.end(), value);
  }
  *type = entry.type;
  *valueLength = needed;
  return S_OK;
}

HRESULT AttributeList::GetByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                  WMT_ATTR_DATATYPE* type, BYTE* value, WORD* valueLength) const {
  if (stream == nullptr || nameLength == nullptr) return E_POINTER;
  if (index >= entries_.size()) return E_INVALIDARG;
  const Entry& entry = entries_[index];
  const auto nameNeeded = static_cast<WORD>(entry.name.size() + 1);
  if (name != nullptr && *nameLength < nameNeeded) return E_INSUFFICIENT_BUFFER;
  if (value != nullptr && valueLength != nullptr && *valueLength < entry.value.size()) {
    return E_INSUFFICIENT_BUFFER;
  }
  const HRESULT hr = CopyValue(entry, type, value, valueLength);
  if (FAILED(hr)) return hr;
  if (name != nullptr) std::memcpy(name, entry.name.c_str(), nameNeeded * sizeof(WCHAR));
  *nameLength = nameNeeded;
  *stream = 0;
  return S_OK;
}

HRESULT AttributeList::GetByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type,
                                 BYTE* value, WORD* valueLength) const {
  if (stream == nullptr || name == nullptr) return E_POINTER;
  const std::size_t length = WideLength(name, kMaxWord);
  if (length > kMaxWord) return E_INVALIDARG;
  if (*stream != 0) return ASF_E_NOTFOUND;
  const std::u16string_view wanted(name, length);
  const auto found = std::find_if(entries_.begin(), entries_.end(),
                                  [wanted](const Entry& e) { return e.name == wanted; });
  if (found == entries_.end()) return ASF_E_NOTFOUND;
  return CopyValue(*found, type, value, valueLength);
}

}  // namespace platform::wmf
