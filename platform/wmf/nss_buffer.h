// INSSBuffer: bytes of its own (writer samples) or a view of someone else's (reader
// samples, valid during one callback).
#pragma once

#include <vector>

#include "platform/wmf/com_object.h"

namespace platform::wmf {

class NSSBuffer final : public ComObject<INSSBuffer> {
 public:
  static constexpr DWORD kMaxBytes = 64u << 20;

  // A buffer of `size` bytes with one reference; null when size exceeds kMaxBytes or the
  // memory is not there.
  static NSSBuffer* Allocate(DWORD size);
  // An empty view with one reference; Show() sets what it shows.
  static NSSBuffer* View();

  void Show(const BYTE* data, DWORD length);
  const BYTE* data() const { return data_; }
  DWORD length() const { return length_; }

  HRESULT GetBufferAndLength(BYTE** buffer, DWORD* length) override;

 private:
  NSSBuffer() = default;
  ~NSSBuffer() override = default;

  std::vector<BYTE> storage_;
  const BYTE* data_ = nullptr;
  DWORD length_ = 0;
};

}  // namespace platform::wmf
