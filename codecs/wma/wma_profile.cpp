#include "codecs/wma/wma_profile.h"

#include <cstring>
#include <initializer_list>

namespace wma {

using namespace platform::wmf;

namespace {

constexpr DWORD kMaxMediaTypeBytes = 1 << 20;
constexpr std::int64_t kBitrateTolerance = 249;  // bit/s either side of the asked bitrate

// The first failure among results of calls made in order, else S_OK.
HRESULT FirstFailure(std::initializer_list<HRESULT> results) {
  for (const HRESULT hr : results) {
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// The candidate kept so far: the whole format block of the winner.
struct Choice {
  std::vector<BYTE> block;
  WORD blockAlign = 0;
};

HRESULT ConsiderFormat(IWMCodecInfo* codecs, DWORD codec, DWORD index, std::int32_t rate,
                       std::int32_t channels, std::int32_t kbps, Choice* choice) {
  IWMStreamConfig* config = nullptr;
  HRESULT hr = codecs->GetCodecFormat(WMMEDIATYPE_Audio, codec, index, &config);
  if (FAILED(hr)) return hr;
  const ComPtr<IWMStreamConfig> holdConfig(config);
  IWMMediaProps* props = nullptr;
  hr = config->QueryInterface(&props);
  if (FAILED(hr)) return hr;
  const ComPtr<IWMMediaProps> holdProps(props);
  std::vector<std::uint64_t> storage;
  const WM_MEDIA_TYPE* type = CopyMediaType(props, &storage, &hr);
  if (type == nullptr) return hr;
  const WAVEFORMATEX* wave = WaveFormatOf(*type);
  if (!(type->formattype == WMFORMAT_WaveFormatEx) || wave == nullptr) return E_FAIL;
  const std::int64_t off = std::int64_t{wave->nAvgBytesPerSec} * 8 - std::int64_t{kbps} * 1000;
  const bool fits = wave->wFormatTag == WAVE_FORMAT_WMAUDIO2 &&
                    std::int64_t{wave->nSamplesPerSec} == rate && wave->nChannels == channels &&
                    off >= -kBitrateTolerance && off <= kBitrateTolerance;
  if (fits && (choice->block.empty() || wave->nBlockAlign >= choice->blockAlign)) {
    const auto* bytes = reinterpret_cast<const BYTE*>(wave);
    choice->block.assign(bytes, bytes + sizeof(WAVEFORMATEX) + wave->cbSize);
    choice->blockAlign = wave->nBlockAlign;
  }
  return S_OK;
}

HRESULT FindFormat(IWMCodecInfo* codecs, std::int32_t rate, std::int32_t channels,
                   std::int32_t kbps, Choice* choice) {
  DWORD codecCount = 0;
  HRESULT hr = codecs->GetCodecInfoCount(WMMEDIATYPE_Audio, &codecCount);
  for (DWORD codec = 0; SUCCEEDED(hr) && codec < codecCount; ++codec) {
    DWORD formatCount = 0;
    hr = codecs->GetCodecFormatCount(WMMEDIATYPE_Audio, codec, &formatCount);
    for (DWORD index = 0; SUCCEEDED(hr) && index < formatCount; ++index) {
      hr = ConsiderFormat(codecs, codec, index, rate, channels, kbps, choice);
    }
  }
  return hr;
}

HRESULT AddAudioStream(IWMProfile* profile, std::vector<BYTE>& block) {
  WAVEFORMATEX wave;
  std::memcpy(&wave, block.data(), sizeof wave);
  IWMStreamConfig* config = nullptr;
  HRESULT hr = profile->CreateNewStream(WMMEDIATYPE_Audio, &config);
  if (FAILED(hr)) return hr;
  const ComPtr<IWMStreamConfig> holdConfig(config);
  hr = FirstFailure({config->SetStreamNumber(1), config->SetStreamName(u"Audio Stream"),
                     config->SetConnectionName(u"Audio"),
                     config->SetBitrate(wave.nAvgBytesPerSec * 8)});
  if (FAILED(hr)) return hr;
  IWMMediaProps* props = nullptr;
  hr = config->QueryInterface(&props);
  if (FAILED(hr)) return hr;
  const ComPtr<IWMMediaProps> holdProps(props);
  GUID subtype = WMMEDIASUBTYPE_WMAudioV8;
  subtype.Data1 = wave.wFormatTag;
  WM_MEDIA_TYPE type{WMMEDIATYPE_Audio,
                     subtype,
                     1,
                     0,
                     wave.nBlockAlign,
                     WMFORMAT_WaveFormatEx,
                     nullptr,
                     static_cast<ULONG>(block.size()),
                     block.data()};
  hr = props->SetMediaType(&type);
  return SUCCEEDED(hr) ? profile->AddStream(config) : hr;
}

}  // namespace

HRESULT BuildWmaProfile(std::int32_t rate, std::int32_t channels, std::int32_t kbps,
                        ComPtr<IWMProfile>* profile) {
  IWMProfileManager* manager = nullptr;
  HRESULT hr = WMCreateProfileManager(&manager);
  if (FAILED(hr)) return hr;
  const ComPtr<IWMProfileManager> holdManager(manager);
  IWMProfile* created = nullptr;
  hr = manager->CreateEmptyProfile(WMT_VER_7_0, &created);
  if (FAILED(hr)) return hr;
  ComPtr<IWMProfile> result(created);
  hr = result->SetName(u"Custom Profile");
  if (FAILED(hr)) return hr;
  IWMCodecInfo* codecs = nullptr;
  hr = manager->QueryInterface(&codecs);
  if (FAILED(hr)) return hr;
  const ComPtr<IWMCodecInfo> holdCodecs(codecs);
  Choice choice;
  hr = FindFormat(codecs, rate, channels, kbps, &choice);
  if (FAILED(hr)) return hr;
  if (choice.block.empty()) return kNoMatchingFormat;
  hr = AddAudioStream(result.get(), choice.block);
  if (FAILED(hr)) return hr;
  *profile = std::move(result);
  return S_OK;
}

HRESULT UseEightBitInput(IWMWriter* writer) {
  IWMInputMediaProps* props = nullptr;
  HRESULT hr = writer->GetInputProps(0, &props);
  if (FAILED(hr)) return hr;
  const ComPtr<IWMInputMediaProps> holdProps(props);
  std::vector<std::uint64_t> storage;
  WM_MEDIA_TYPE* type = CopyMediaType(props, &storage, &hr);
  if (type == nullptr) return hr;
  if (WaveFormatOf(*type) == nullptr) return E_FAIL;
  WAVEFORMATEX wave;
  std::memcpy(&wave, type->pbFormat, sizeof wave);
  wave.wBitsPerSample = 8;
  wave.nBlockAlign = wave.nChannels;
  wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nChannels;
  std::memcpy(type->pbFormat, &wave, sizeof wave);
  type->lSampleSize = wave.nBlockAlign;
  hr = props->SetMediaType(type);
  return SUCCEEDED(hr) ? writer->SetInputProps(0, props) : hr;
}

WM_MEDIA_TYPE* CopyMediaType(IWMMediaProps* props, std::vector<std::uint64_t>* storage,
                             HRESULT* hr) {
  DWORD size = 0;
  *hr = props->GetMediaType(nullptr, &size);
  if (FAILED(*hr)) return nullptr;
  if (size < sizeof(WM_MEDIA_TYPE) || size > kMaxMediaTypeBytes) {
    *hr = E_FAIL;
    return nullptr;
  }
  storage->assign(size / sizeof(std::uint64_t) + 1, 0);
  auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage->data());
  *hr = props->GetMediaType(type, &size);
  return SUCCEEDED(*hr) ? type : nullptr;
}

const WAVEFORMATEX* WaveFormatOf(const WM_MEDIA_TYPE& type) {
  if (type.pbFormat == nullptr || type.cbFormat < sizeof(WAVEFORMATEX)) return nullptr;
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
  return type.cbFormat - sizeof(WAVEFORMATEX) >= wave->cbSize ? wave : nullptr;
}

}  // namespace wma
