// The writer: one audio stream of a listed format, encoded into the file of its sink.
#pragma once

#include <memory>

#include "platform/wmf/com_object.h"
#include "platform/wmf/wm_writer_file_sink.h"
#include "platform/wmf/wma_encoder.h"

namespace platform::wmf {

class WMWriter final : public ComObject<IWMWriter, IWMWriterAdvanced> {
 public:
  HRESULT SetProfile(IWMProfile* profile) override;
  HRESULT GetInputProps(DWORD input, IWMInputMediaProps** props) override;
  HRESULT SetInputProps(DWORD input, IWMInputMediaProps* props) override;
  HRESULT BeginWriting() override;
  HRESULT AllocateSample(DWORD size, INSSBuffer** sample) override;
  HRESULT WriteSample(DWORD input, QWORD sampleTime, DWORD flags, INSSBuffer* sample) override;
  HRESULT EndWriting() override;
  HRESULT QueryInterface(IWMWriterAdvanced** advanced) override;

  HRESULT AddSink(IWMWriterSink* sink) override;

 private:
  ~WMWriter() override;

  bool hasFormat_ = false;
  WmaFormat format_{};
  int inputBits_ = 16;
  ComPtr<WMWriterFileSink> sink_;
  std::unique_ptr<WmaEncoder> encoder_;  // while writing
};

}  // namespace platform::wmf
