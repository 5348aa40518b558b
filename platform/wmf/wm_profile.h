// A profile: a name and the streams added to it (copies of their configurations).
#pragma once

#include <string>
#include <vector>

#include "platform/wmf/com_object.h"
#include "platform/wmf/wm_stream_config.h"

namespace platform::wmf {

class WMProfile final : public ComObject<IWMProfile> {
 public:
  static constexpr std::size_t kMaxStreams = 63;

  const std::vector<StreamSettings>& streams() const { return streams_; }

  HRESULT SetName(const WCHAR* name) override;
  // Only audio streams; the new configuration has no number and no media type yet.
  HRESULT CreateNewStream(REFGUID streamType, IWMStreamConfig** config) override;
  // Takes configurations made by this runtime; a profile holds at most kMaxStreams.
  HRESULT AddStream(IWMStreamConfig* config) override;

 private:
  ~WMProfile() override = default;

  std::u16string name_;
  std::vector<StreamSettings> streams_;
};

}  // namespace platform::wmf
