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
constexpr GUID kExtendedContentDescription = {
    0xD2D0A440, 0xE307, 0x11D2, {0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50}};
constexpr GUID kMetadata = {
    0xC5F8CBEA, 0x5BAF, 0x4877, {0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA}};
constexpr GUID kMetadataLibrary = {
    0x44231C94, 0x9498, 0x49D1, {0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54}};
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

// Five string lengths, then the strings.
bool DescriptionFits(const std::vector<std::uint8_t>& body) {
  if (body.size() < 10) return false;
  std::uint64_t total = 10;
  for (int i = 0; i < 5; ++i) total += LoadLe16(body.data() + 2 * i);
  return total <= body.size();
}

// A count, then entries of name length, name, value type, value length, value.
bool ExtendedEntriesFit(const std::vector<std::uint8_t>& body) {
  if (body.size() < 2) return false;
  std::uint64_t pos = 2;
  for (unsigned n = LoadLe16(body.data()); n > 0; --n) {
    if (body.size() - pos < 2) return false;
    pos += 2 + std::uint64_t{LoadLe16(&body[pos])};
    if (pos > body.size() || body.size() - pos < 4) return false;
    pos += 4 + std::uint64_t{LoadLe16(&body[pos + 2])};
    if (pos > body.size()) return false;
  }
  return true;
}

// A count, then entries of language and stream (2 + 2), name length (2), value type (2),
// value length (4), name, value.
bool MetadataEntriesFit(const std::vector<std::uint8_t>& body) {
  if (body.size() < 2) return false;
  std::uint64_t pos = 2;
  for (unsigned n = LoadLe16(body.data()); n > 0; --n) {
    if (body.size() - pos < 12) return false;
    pos += 12 + std::uint64_t{LoadLe16(&body[pos + 4])} + LoadLe32(&body[pos + 8]);
    if (pos > body.size()) return false;
  }
  return true;
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
    const std::uint64_t size = LoadLe64(head + 16);
    if (size < kObjectHead || size > end - pos) return E_FAIL;
    const HRESULT hr = Note(bytes, GuidAt(head), pos, size, topLevel);
    if (FAILED(hr)) return hr;
    pos += size;
  }
  return S_OK;
}

HRESULT AsfHeader::Note(ByteSource& bytes, const GUID& id, std::uint64_t begin, std::uint64_t size,
                        bool topLevel) {
  if (id == kContentEncryption || id == kExtendedContentEncryption ||
      id == kAdvancedContentEncryption) {
    encrypted_ = true;
  } else if (topLevel && id == kContentDescription) {
    hasContentDescription_ = true;
    return CheckEntries(bytes, begin, size, &DescriptionFits);
  } else if (topLevel && id == kExtendedContentDescription) {
    return CheckEntries(bytes, begin, size, &ExtendedEntriesFit);
  } else if (!topLevel && (id == kMetadata || id == kMetadataLibrary)) {
    return CheckEntries(bytes, begin, size, &MetadataEntriesFit);
  } else if (topLevel && id == kHeaderExtension) {
    return WalkExtension(bytes, begin, begin + size);
  }
  return S_OK;
}

HRESULT AsfHeader::CheckEntries(ByteSource& bytes, std::uint64_t begin, std::uint64_t size,
                                bool (*entries)(const std::vector<std::uint8_t>& body)) {
  std::vector<std::uint8_t> body(size - kObjectHead);
  if (!ReadExactly(bytes, begin + kObjectHead, body.data(), body.size())) return E_FAIL;
  if (!entries(body)) attributesFit_ = false;
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
