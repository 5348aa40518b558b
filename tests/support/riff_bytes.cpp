#include "tests/support/riff_bytes.h"

namespace testing_support {

void Append16(Bytes& out, std::uint32_t value) {
  out.push_back(value & 0xFF);
  out.push_back((value >> 8) & 0xFF);
}

void Append32(Bytes& out, std::uint32_t value) {
  Append16(out, value & 0xFFFF);
  Append16(out, value >> 16);
}

void Append64(Bytes& out, std::uint64_t value) {
  Append32(out, static_cast<std::uint32_t>(value));
  Append32(out, static_cast<std::uint32_t>(value >> 32));
}

Bytes Chunk(const std::string& id, const Bytes& payload, std::int64_t declaredSize) {
  Bytes out(id.begin(), id.end());
  out.resize(4, ' ');
  Append32(out, static_cast<std::uint32_t>(declaredSize >= 0 ? declaredSize : payload.size()));
  out.insert(out.end(), payload.begin(), payload.end());
  if (payload.size() % 2 == 1) out.push_back(0);
  return out;
}

Bytes RiffForm(const std::string& form, const std::vector<Bytes>& chunks,
               std::int64_t declaredSize) {
  const Bytes body = Concat(chunks);
  Bytes out = {'R', 'I', 'F', 'F'};
  Append32(out, static_cast<std::uint32_t>(declaredSize >= 0 ? declaredSize : 4 + body.size()));
  out.insert(out.end(), form.begin(), form.end());
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes FormatRecordWithAlign(int tag, int channels, int rate, int bits, int blockAlign) {
  Bytes out;
  Append16(out, tag);
  Append16(out, channels);
  Append32(out, rate);
  Append32(out, static_cast<std::uint32_t>(rate) * blockAlign);
  Append16(out, blockAlign);
  Append16(out, bits);
  return out;
}

Bytes FormatRecord(int tag, int channels, int rate, int bits, int length) {
  Bytes out = FormatRecordWithAlign(tag, channels, rate, bits, channels * bits / 8);
  out.resize(length, 0);
  return out;
}

Bytes Concat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

}  // namespace testing_support
