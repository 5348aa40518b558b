#include "platform/wmf/wm_writer_file_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/wmf/byte_source.h"
#include "platform/wmf/wide_text.h"

namespace platform::wmf {

WMWriterFileSink::~WMWriterFileSink() {
  if (fd_ >= 0) close(fd_);
}

HRESULT WMWriterFileSink::Open(const WCHAR* path) {
  return Guarded([&] {
    if (inUse_) return NS_E_INVALID_REQUEST;
    std::string name;
    const HRESULT hr = PathFromWide(path, &name);
    if (FAILED(hr)) return hr;
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return HresultFromErrno(errno);
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
    return S_OK;
  });
}

HRESULT WMWriterFileSink::QueryInterface(IWMWriterFileSink2** sink) { return Answer(this, sink); }

HRESULT WMWriterFileSink::Close() {
  if (inUse_ || fd_ < 0) return NS_E_INVALID_REQUEST;
  const int closed = close(fd_);
  fd_ = -1;
  return closed == 0 ? S_OK : HresultFromErrno(errno);
}

}  // namespace platform::wmf
