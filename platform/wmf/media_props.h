// IWMMediaProps and its output/input variants over a MediaType.
#pragma once

#include "platform/wmf/com_object.h"
#include "platform/wmf/media_type.h"

namespace platform::wmf {

template <class Interface>
class MediaProps final : public ComObject<Interface> {
 public:
  explicit MediaProps(MediaType type) : type_(std::move(type)) {}

  const MediaType& type() const { return type_; }

  HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override {
    return type_.CopyTo(type, size);
  }
  HRESULT SetMediaType(WM_MEDIA_TYPE* type) override {
    return Guarded([&] { return type_.Assign(type); });
  }

 private:
  ~MediaProps() override = default;

  MediaType type_;
};

}  // namespace platform::wmf
