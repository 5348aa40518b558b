#include "platform/wmf/nss_buffer.h"

#include <new>

namespace platform::wmf {

NSSBuffer* NSSBuffer::Allocate(DWORD size) {
  if (size > kMaxBytes) return nullptr;
  auto* buffer = new (std::nothrow) NSSBuffer();
  if (buffer == nullptr) return nullptr;
  try {
    buffer->storage_.resize(size);
  } catch (const std::bad_alloc&) {
    buffer->Release();
    return nullptr;
  }
  buffer->Show(buffer->storage_.data(), size);
  return buffer;
}

NSSBuffer* NSSBuffer::View() { return new (std::nothrow) NSSBuffer(); }

void NSSBuffer::Show(const BYTE* data, DWORD length) {
  data_ = data;
  length_ = length;
}

HRESULT NSSBuffer::GetBufferAndLength(BYTE** buffer, DWORD* length) {
  if (buffer == nullptr || length == nullptr) return E_POINTER;
  // Reader samples are handed out writable as on Windows; what the callee writes there is
  // simply dropped.
  *buffer = const_cast<BYTE*>(data_);
  *length = length_;
  return S_OK;
}

}  // namespace platform::wmf
