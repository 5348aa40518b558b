#include "platform/wmf/wm_writer.h"

#include "platform/wmf/media_props.h"
#include "platform/wmf/nss_buffer.h"
#include "platform/wmf/wm_profile.h"

namespace platform::wmf {

namespace {

// The listed format a profile's only stream uses, or null.
const WmaFormat* ProfileFormat(IWMProfile* profile) {
  const auto* ours = dynamic_cast<WMProfile*>(profile);
  if (ours == nullptr || ours->streams().size() != 1) return nullptr;
  const StreamSettings& stream = ours->streams().front();
  const WAVEFORMATEX* wave = stream.type.waveFormat();
  const WM_MEDIA_TYPE& type = stream.type.header();
  if (wave == nullptr || stream.number == 0 || !(type.majortype == WMMEDIATYPE_Audio) ||
      !(type.subtype == WMMEDIASUBTYPE_WMAudioV8)) {
    return nullptr;
  }
  return WmaFormatList::Find(*wave, stream.type.extraBytes());
}

}  // namespace

WMWriter::~WMWriter() {
  if (encoder_) EndWriting();  // a writer dropped while writing still leaves a valid file
}

HRESULT WMWriter::SetProfile(IWMProfile* profile) {
  return Guarded([&] {
    if (encoder_) return NS_E_INVALID_REQUEST;
    const WmaFormat* format = ProfileFormat(profile);
    if (format == nullptr) return E_INVALIDARG;
    format_ = *format;
    hasFormat_ = true;
    inputBits_ = 16;
    return S_OK;
  });
}

HRESULT WMWriter::GetInputProps(DWORD input, IWMInputMediaProps** props) {
  if (props == nullptr) return E_POINTER;
  if (!hasFormat_) return NS_E_INVALID_REQUEST;
  if (input != 0) return E_INVALIDARG;
  return Guarded([&] {
    *props = new MediaProps<IWMInputMediaProps>(MediaType::Pcm(
        static_cast<int>(format_.wave.nSamplesPerSec), format_.wave.nChannels, inputBits_));
    return S_OK;
  });
}

HRESULT WMWriter::SetInputProps(DWORD input, IWMInputMediaProps* props) {
  if (!hasFormat_ || encoder_) return NS_E_INVALID_REQUEST;
  const auto* ours = dynamic_cast<MediaProps<IWMInputMediaProps>*>(props);
  if (input != 0 || ours == nullptr) return E_INVALIDARG;
  const WAVEFORMATEX* wave = ours->type().waveFormat();
  const int bits = wave == nullptr ? 0 : wave->wBitsPerSample;
  if (wave == nullptr || !(ours->type().header().subtype == WMMEDIASUBTYPE_PCM) ||
      wave->wFormatTag != 1 || wave->nSamplesPerSec != format_.wave.nSamplesPerSec ||
      wave->nChannels != format_.wave.nChannels || (bits != 8 && bits != 16)) {
    return E_INVALIDARG;  // no resampling, no remixing
  }
  inputBits_ = bits;
  return S_OK;
}

HRESULT WMWriter::AddSink(IWMWriterSink* sink) {
  auto* ours = dynamic_cast<WMWriterFileSink*>(sink);
  if (ours == nullptr) return E_INVALIDARG;
  if (sink_ || encoder_) return NS_E_INVALID_REQUEST;
  sink_ = ComPtr<WMWriterFileSink>::Share(ours);
  return S_OK;
}

HRESULT WMWriter::BeginWriting() {
  return Guarded([&] {
    if (encoder_ || !hasFormat_ || !sink_ || sink_->fd() < 0) return NS_E_INVALID_REQUEST;
    auto encoder = std::make_unique<WmaEncoder>();
    const HRESULT hr = encoder->Begin(sink_->fd(), format_, inputBits_);
    if (FAILED(hr)) return hr;
    encoder_ = std::move(encoder);
    sink_->SetInUse(true);
    return S_OK;
  });
}

HRESULT WMWriter::AllocateSample(DWORD size, INSSBuffer** sample) {
  if (sample == nullptr) return E_POINTER;
  NSSBuffer* buffer = NSSBuffer::Allocate(size);
  if (buffer == nullptr) return E_OUTOFMEMORY;
  *sample = buffer;
  return S_OK;
}

HRESULT WMWriter::WriteSample(DWORD input, QWORD, DWORD, INSSBuffer* sample) {
  if (!encoder_) return NS_E_INVALID_REQUEST;
  const auto* buffer = dynamic_cast<NSSBuffer*>(sample);
  if (input != 0 || buffer == nullptr) return E_INVALIDARG;
  return Guarded([&] { return encoder_->Write(buffer->data(), buffer->length()); });
}

HRESULT WMWriter::EndWriting() {
  if (!encoder_) return NS_E_INVALID_REQUEST;
  const HRESULT hr = Guarded([&] { return encoder_->End(); });
  encoder_.reset();
  sink_->SetInUse(false);
  return hr;
}

HRESULT WMWriter::QueryInterface(IWMWriterAdvanced** advanced) { return Answer(this, advanced); }

}  // namespace platform::wmf
