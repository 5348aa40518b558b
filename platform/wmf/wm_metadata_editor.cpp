#include "platform/wmf/wm_metadata_editor.h"

#include <string>

#include "platform/wmf/asf_header.h"
#include "platform/wmf/asf_tag_attributes.h"
#include "platform/wmf/byte_source.h"
#include "platform/wmf/wide_text.h"
#include "platform/wmf/wm_stream_config.h"

namespace platform::wmf {

namespace {

// The text of a string value: UTF-16 code units up to the first zero (or the end).
std::u16string TextOf(const BYTE* value, WORD length) {
  std::u16string text;
  for (WORD i = 0; i + 1 < length; i += 2) {
    const auto unit = static_cast<char16_t>(value[i] | value[i + 1] << 8);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

}  // namespace

HRESULT WMMetadataEditor::Open(const WCHAR* path) {
  return Guarded([&] {
    if (file_) return NS_E_INVALID_REQUEST;
    std::string name;
    HRESULT hr = PathFromWide(path, &name);
    if (FAILED(hr)) return hr;
    AsfHeader header;
    {
      const std::unique_ptr<ByteSource> bytes = ByteSource::OpenFile(name, &hr);
      if (!bytes) return hr;
      if (FAILED(header.Read(*bytes)) || !header.attributesFit()) return E_FAIL;
    }
    auto file = std::make_unique<TagLib::ASF::File>(name.c_str(), false);
    if (!file->isValid() || file->tag() == nullptr) return E_FAIL;
    file_ = std::move(file);
    hasContentDescription_ = header.hasContentDescription();
    Refresh();
    return S_OK;
  });
}

HRESULT WMMetadataEditor::Close() {
  if (!file_) return NS_E_INVALID_REQUEST;
  file_.reset();
  attributes_.Clear();
  return S_OK;
}

HRESULT WMMetadataEditor::Flush() {
  if (!file_) return NS_E_INVALID_REQUEST;
  if (file_->readOnly()) return E_ACCESSDENIED;
  return Guarded([&] { return file_->save() ? S_OK : E_FAIL; });
}

HRESULT WMMetadataEditor::QueryInterface(IWMHeaderInfo** headerInfo) {
  return Answer(this, headerInfo);
}

HRESULT WMMetadataEditor::GetAttributeCount(WORD stream, WORD* count) {
  if (!file_) return NS_E_INVALID_REQUEST;
  return attributes_.GetCount(stream, count);
}

HRESULT WMMetadataEditor::GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name,
                                              WORD* nameLength, WMT_ATTR_DATATYPE* type,
                                              BYTE* value, WORD* valueLength) {
  if (!file_) return NS_E_INVALID_REQUEST;
  return attributes_.GetByIndex(index, stream, name, nameLength, type, value, valueLength);
}

HRESULT WMMetadataEditor::GetAttributeByName(WORD* stream, const WCHAR* name,
                                             WMT_ATTR_DATATYPE* type, BYTE* value,
                                             WORD* valueLength) {
  if (!file_) return NS_E_INVALID_REQUEST;
  return attributes_.GetByName(stream, name, type, value, valueLength);
}

HRESULT WMMetadataEditor::SetAttribute(WORD stream, const WCHAR* name, WMT_ATTR_DATATYPE type,
                                       const BYTE* value, WORD length) {
  if (!file_) return NS_E_INVALID_REQUEST;
  if (stream != 0 || type != WMT_TYPE_STRING) return E_INVALIDARG;
  if (value == nullptr && length > 0) return E_POINTER;
  return Guarded([&] {
    std::u16string key;
    const HRESULT hr = CopyName(name, &key);
    if (FAILED(hr)) return hr;
    if (key.empty()) return E_INVALIDARG;
    if (AsfTagAttributes::StoreString(file_->tag(), key, TextOf(value, length))) {
      hasContentDescription_ = true;
    }
    Refresh();
    return S_OK;
  });
}

void WMMetadataEditor::Refresh() {
  attributes_.Clear();
  AsfTagAttributes::List(*file_->tag(), hasContentDescription_, &attributes_);
}

}  // namespace platform::wmf
