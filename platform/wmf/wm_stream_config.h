// A stream configuration: number, names, bitrate and media type of one stream of a profile.
#pragma once

#include <string>

#include "platform/wmf/com_object.h"
#include "platform/wmf/media_type.h"

namespace platform::wmf {

struct StreamSettings {
  WORD number = 0;
  std::u16string name;
  std::u16string connection;
  DWORD bitrate = 0;
  MediaType type;
};

class WMStreamConfig final : public ComObject<IWMStreamConfig, IWMMediaProps> {
 public:
  explicit WMStreamConfig(StreamSettings settings) : settings_(std::move(settings)) {}

  const StreamSettings& settings() const { return settings_; }

  HRESULT SetStreamNumber(WORD number) override;
  HRESULT SetStreamName(const WCHAR* name) override;
  HRESULT SetConnectionName(const WCHAR* name) override;
  HRESULT SetBitrate(DWORD bitsPerSecond) override;
  HRESULT QueryInterface(IWMMediaProps** props) override;

  HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override;
  HRESULT SetMediaType(WM_MEDIA_TYPE* type) override;

 private:
  ~WMStreamConfig() override = default;

  StreamSettings settings_;
};

// Copies a zero-terminated name of at most 65534 characters.
HRESULT CopyName(const WCHAR* name, std::u16string* out);

}  // namespace platform::wmf
