// The writer's file sink: the output file, created by Open and closed by Close.
#pragma once

#include "platform/wmf/com_object.h"

namespace platform::wmf {

class WMWriterFileSink final : public ComObject<IWMWriterFileSink2> {
 public:
  HRESULT Open(const WCHAR* path) override;
  HRESULT QueryInterface(IWMWriterFileSink2** sink) override;
  HRESULT Close() override;

  // The open file (-1 when none); while in use by a writer, Open and Close are refused.
  int fd() const { return fd_; }
  void SetInUse(bool inUse) { inUse_ = inUse; }

 private:
  ~WMWriterFileSink() override;

  int fd_ = -1;
  bool inUse_ = false;
};

}  // namespace platform::wmf
