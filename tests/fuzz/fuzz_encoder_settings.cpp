// libFuzzer target for the encoder settings file: any bytes parse without reading past the
// input, and whatever they give is written back as a file that parses to the same record.
#include <cstdint>
#include <cstdlib>

#include "codecs/encoder_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  EncoderSettings settings;
  ParseEncoderSettings(data, size, settings);
  const auto bytes = SerializeEncoderSettings(settings);
  EncoderSettings again;
  ParseEncoderSettings(bytes.data(), bytes.size(), again);
  if (!(again == settings)) std::abort();
  return 0;
}
