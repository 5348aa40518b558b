// The metadata editor: header attributes of an ASF file read and written through TagLib.
#pragma once

#include <taglib/asffile.h>

#include <memory>

#include "platform/wmf/attribute_list.h"
#include "platform/wmf/com_object.h"

namespace platform::wmf {

class WMMetadataEditor final : public ComObject<IWMMetadataEditor, IWMHeaderInfo> {
 public:
  // E_FILE_NOT_FOUND / E_PATH_NOT_FOUND / E_ACCESSDENIED when the file cannot be read, E_FAIL
  // when it is not an ASF file whose header and attribute objects hold together,
  // NS_E_INVALID_REQUEST when a file is open already.
  HRESULT Open(const WCHAR* path) override;
  HRESULT Close() override;
  // E_ACCESSDENIED for a file opened read-only, E_FAIL when TagLib cannot save.
  HRESULT Flush() override;
  HRESULT QueryInterface(IWMHeaderInfo** headerInfo) override;

  HRESULT GetAttributeCount(WORD stream, WORD* count) override;
  HRESULT GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                              WMT_ATTR_DATATYPE* type, BYTE* value, WORD* valueLength) override;
  HRESULT GetAttributeByName(WORD* stream, const WCHAR* name, WMT_ATTR_DATATYPE* type, BYTE* value,
                             WORD* valueLength) override;
  // Strings of stream 0 only (E_INVALIDARG otherwise).
  HRESULT SetAttribute(WORD stream, const WCHAR* name, WMT_ATTR_DATATYPE type, const BYTE* value,
                       WORD length) override;

 private:
  ~WMMetadataEditor() override = default;
  void Refresh();

  std::unique_ptr<TagLib::ASF::File> file_;
  bool hasContentDescription_ = false;
  AttributeList attributes_;
};

}  // namespace platform::wmf
