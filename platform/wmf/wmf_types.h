// Types, result codes and identifiers of the Windows Media runtime layer. Values are those of
// the Windows runtime, so callers compare and report them unchanged.
#pragma once

#include <cstdint>

namespace platform::wmf {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using QWORD = std::uint64_t;
using ULONG = std::uint32_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using WCHAR = char16_t;  // one UTF-16 code unit; text on the interfaces is UTF-16

constexpr HRESULT MakeHresult(std::uint32_t bits) { return static_cast<HRESULT>(bits); }
constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHresult(0x80004002);
constexpr HRESULT E_POINTER = MakeHresult(0x80004003);
constexpr HRESULT E_ABORT = MakeHresult(0x80004004);
constexpr HRESULT E_FAIL = MakeHresult(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057);
// HRESULT_FROM_WIN32 of ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_DISK_FULL and
// ERROR_INSUFFICIENT_BUFFER.
constexpr HRESULT E_FILE_NOT_FOUND = MakeHresult(0x80070002);
constexpr HRESULT E_PATH_NOT_FOUND = MakeHresult(0x80070003);
constexpr HRESULT E_DISK_FULL = MakeHresult(0x80070070);
constexpr HRESULT E_INSUFFICIENT_BUFFER = MakeHresult(0x8007007A);
// The call is not valid in the object's current state.
constexpr HRESULT NS_E_INVALID_REQUEST = MakeHresult(0xC00D002B);
// The header has no attribute of that name.
constexpr HRESULT ASF_E_NOTFOUND = MakeHresult(0xC00D07F0);

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using REFGUID = const GUID&;

constexpr bool operator==(const GUID& a, const GUID& b) {
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3;
}

// 73647561-0000-0010-8000-00AA00389B71
constexpr GUID WMMEDIATYPE_Audio = {
    0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// 00000001-0000-0010-8000-00AA00389B71: PCM samples.
constexpr GUID WMMEDIASUBTYPE_PCM = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// 00000161-0000-0010-8000-00AA00389B71: Windows Media Audio 2 (the format tag in Data1).
constexpr GUID WMMEDIASUBTYPE_WMAudioV8 = {
    0x00000161, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// 05589F81-C356-11CE-BF01-00AA0055595A: the format block is a WAVEFORMATEX.
constexpr GUID WMFORMAT_WaveFormatEx = {
    0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

constexpr WORD WAVE_FORMAT_WMAUDIO2 = 0x0161;

// 18 bytes, packed as on Windows; cbSize extra bytes follow it in memory.
#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

class IUnknown;

struct WM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;  // always null here
  ULONG cbFormat;
  BYTE* pbFormat;
};

// Statuses the reader reports through IWMReaderCallback::OnStatus.
enum WMT_STATUS : int {
  WMT_OPENED = 1,
  WMT_EOF = 4,
  WMT_NO_RIGHTS = 9,
  WMT_STARTED = 11,
  WMT_STOPPED = 12,
  WMT_CLOSED = 13,
};

enum WMT_ATTR_DATATYPE : int {
  WMT_TYPE_DWORD = 0,
  WMT_TYPE_STRING = 1,
  WMT_TYPE_BINARY = 2,
  WMT_TYPE_BOOL = 3,
  WMT_TYPE_QWORD = 4,
  WMT_TYPE_WORD = 5,
  WMT_TYPE_GUID = 6,
};

enum WMT_VERSION : DWORD { WMT_VER_7_0 = 0x00070000 };

}  // namespace platform::wmf
