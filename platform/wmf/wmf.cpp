// The runtime's entry points.
#include "platform/wmf/wmf.h"

#include "platform/wmf/wm_metadata_editor.h"
#include "platform/wmf/wm_profile_manager.h"
#include "platform/wmf/wm_reader.h"
#include "platform/wmf/wm_writer.h"

namespace platform::wmf {

namespace {

template <class Object, class Interface>
HRESULT Create(Interface** out) {
  if (out == nullptr) return E_POINTER;
  return Guarded([&] {
    *out = new Object();
    return S_OK;
  });
}

}  // namespace

HRESULT WMCreateReader(IUnknown* certificate, DWORD, IWMReader** reader) {
  if (certificate != nullptr) return E_INVALIDARG;
  return Create<WMReader>(reader);
}

HRESULT WMCreateWriter(IUnknown* certificate, IWMWriter** writer) {
  if (certificate != nullptr) return E_INVALIDARG;
  return Create<WMWriter>(writer);
}

HRESULT WMCreateWriterFileSink(IWMWriterFileSink** sink) { return Create<WMWriterFileSink>(sink); }

HRESULT WMCreateProfileManager(IWMProfileManager** manager) {
  return Create<WMProfileManager>(manager);
}

HRESULT WMCreateEditor(IWMMetadataEditor** editor) { return Create<WMMetadataEditor>(editor); }

}  // namespace platform::wmf
