#include "platform/wmf/asf_header.h"

#include "platform/byte_order.h"

namespace platform::wmf {

namespace {

constexpr GUID kHeaderObject = {
    0x75B22630, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kContentDescription = {
    0x75B22633, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kHeaderExtension = {
    0x5FBF03B5, 0xA92E, 0x11CF, {0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kContentEncryption = {
    0x2211B3FB, 0xBD23, 0x11D2, {0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E}};
constexpr GUID kExtendedContentEncryption = {
    0x298AE614, 0x2622, 0x4C17, {0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C}};
constexpr GUID kAdvancedContentEncryption = {
    0x43058533, 0x6981, 0x49E6, {0x9B, 0x74, 0xAD, 0x12, 0xCB, 0x86, 0xD5, 0x8C}};

constexpr std::uint64_t kObjectHead = 24;     // GUID and 64-bit size
constexpr std::uint64_t kHeaderHead = 30;     // + object count and two reserved bytes
constexpr std::uint64_t kExtensionHead = 46;  // + reserved GUID, WORD and data size

GUID GuidAt(const std::uint8_t* p) {
  GUID g{LoadLe32(p), LoadLe16(p + 4), LoadLe16(p + 6), {}};
  for (int i = 0; i < 8; ++i) g.Data4[i] = p[8 + i];
  return g;
}

bool ReadExactly(ByteSource& bytes, std::uint64_t offset, std::uint8_t* out, std::size_t n) {
  return bytes.ReadAt(static_cast<std::int64_t>(offset), out, n) == static_cast<std::int64_t>(n);
}

}  // namespace

HRESULT AsfHeader::Read(ByteSource& bytes) {
  std::uint8_t head[kHeaderHead];
  if (!ReadExactly(bytes, 0, head, sizeof head) || !(GuidAt(head) == kHeaderObject)) {
    return E_FAIL;
  }
  size_ = LoadLe64(head + 16);
  const auto fileSize = static_cast<std::uint64_t>(bytes.Size());
  if (size_ < kHeaderHead || size_ > fileSize || size_ > kMaxHeaderBytes) return E_FAIL;
  return WalkObjects(bytes, kHeaderHead, size_, LoadLe32(head + 24), true);
}

// Objects between begin and end; `count` of them at the top level, as many as fit inside the
// header extension.
HRESULT AsfHeader::WalkObjects(ByteSource& bytes, std::uint64_t begin, std::uint64_t end,
                               std::uint64_t count, bool topLevel) {
  if (topLevel && count > (end - begin) / kObjectHead) return E_FAIL;
  std::uint64_t pos = begin;
  for (std::uint64_t i = 0; topLevel ? i < count : pos < end; ++i) {
    std::uint8_t head[kObjectHead];
    if (end - pos < kObjectHead || !ReadExactly(bytes, pos, head, sizeof head)) return E_FAIL;
    const GUID id = GuidAt(head);
    const std::uint64_t size = LoadLe64(head + 16);
    if (size < kObjectHead || size > end - pos) return E_FAIL;
    if (id == kContentEncryption || id == kExtendedContentEncryption ||
        id == kAdvancedContentEncryption) {
      encrypted_ = true;
    } else if (topLevel && id == kContentDescription) {
      hasContentDescription_ = true;
    } else if (topLevel && id == kHeaderExtension) {
      const HRESULT hr = WalkExtension(bytes, pos, pos + size);
      if (FAILED(hr)) return hr;
    }
    pos += size;
  }
  return S_OK;
}

HRESULT AsfHeader::WalkExtension(ByteSource& bytes, std::uint64_t begin, std::uint64_t end) {
  std::uint8_t head[kExtensionHead];
  if (end - begin < kExtensionHead || !ReadExactly(bytes, begin, head, sizeof head)) {
    return E_FAIL;
  }
  const std::uint64_t dataSize = LoadLe32(head + 42);
  if (dataSize > end - begin - kExtensionHead) return E_FAIL;
  const std::uint64_t data = begin + kExtensionHead;
  return WalkObjects(bytes, data, data + dataSize, 0, false);
}

}  // namespace platform::wmf
