// Hand-made RIFF structures for reader tests: chunks are assembled byte by byte, so a test
// can state exactly which sizes, pad bytes and orders a file has (including wrong ones).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

void Append16(Bytes& out, std::uint32_t value);
void Append32(Bytes& out, std::uint32_t value);
void Append64(Bytes& out, std::uint64_t value);
// A chunk: the four-character id, the size (payload length unless `declaredSize` is given)
// and the payload, followed by a zero pad byte when the payload length is odd.
Bytes Chunk(const std::string& id, const Bytes& payload, std::int64_t declaredSize = -1);
// "RIFF", size (4 + chunks unless `declaredSize` is given), the form type and the chunks.
Bytes RiffForm(const std::string& form, const std::vector<Bytes>& chunks,
               std::int64_t declaredSize = -1);
// A 16-byte PCM format record (or a longer one padded with zeros to `length`).
Bytes FormatRecord(int tag, int channels, int rate, int bits, int length = 16);
// A format record whose block align is given explicitly.
Bytes FormatRecordWithAlign(int tag, int channels, int rate, int bits, int blockAlign);
Bytes Concat(const std::vector<Bytes>& parts);

}  // namespace testing_support
