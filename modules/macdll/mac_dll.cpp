// The exported C functions: argument checks and the exception barrier in front of the
// decompressor and compressor classes.
#include "modules/macdll/mac_dll.h"

#include <new>

#include "modules/macdll/ape_compressor.h"
#include "modules/macdll/ape_decompressor.h"
#include "modules/macdll/file_source.h"

namespace {

using macdll::ApeCompressor;
using macdll::ApeDecompressor;

// Runs `body`, turning any exception into a result code.
template <typename Body>
int Guarded(Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return MACDLL_ERROR_MEMORY;
  } catch (...) {
    return MACDLL_ERROR_PARAMETER;
  }
}

void SetError(int* error, int code) {
  if (error != nullptr) *error = code;
}

}  // namespace

extern "C" {

int GetInterfaceCompatibility(int version, int /*verbose*/, void* /*window*/) {
  return version == MACDLL_INTERFACE_VERSION ? MACDLL_OK : MACDLL_ERROR_VERSION;
}

ApeDecompressHandle c_APEDecompress_Create(const char* path, int* error) {
  ApeDecompressor* decoder = nullptr;
  const int code = Guarded([&] {
    if (path == nullptr) return MACDLL_ERROR_PARAMETER;
    auto source = macdll::FileSource::Open(path);
    if (source == nullptr) return MACDLL_ERROR_OPEN;
    int result = MACDLL_OK;
    decoder = ApeDecompressor::Open(std::move(source), &result).release();
    return result;
  });
  SetError(error, code);
  return decoder;
}

void c_APEDecompress_Destroy(ApeDecompressHandle handle) {
  delete static_cast<ApeDecompressor*>(handle);
}

int c_APEDecompress_GetData(ApeDecompressHandle handle, unsigned char* buffer, int blocks,
                            int* retrieved) {
  if (retrieved != nullptr) *retrieved = 0;
  if (handle == nullptr) return MACDLL_ERROR_PARAMETER;
  return Guarded(
      [&] { return static_cast<ApeDecompressor*>(handle)->GetData(buffer, blocks, retrieved); });
}

int c_APEDecompress_Seek(ApeDecompressHandle handle, int block) {
  if (handle == nullptr) return MACDLL_ERROR_PARAMETER;
  return Guarded([&] { return static_cast<ApeDecompressor*>(handle)->Seek(block); });
}

int c_APEDecompress_GetInfo(ApeDecompressHandle handle, int code, int /*param1*/, int /*param2*/) {
  return handle == nullptr ? -1 : static_cast<ApeDecompressor*>(handle)->Info(code);
}

ApeCompressHandle c_APECompress_Create(int* error) {
  auto* encoder = new (std::nothrow) ApeCompressor();
  SetError(error, encoder == nullptr ? MACDLL_ERROR_MEMORY : MACDLL_OK);
  return encoder;
}

void c_APECompress_Destroy(ApeCompressHandle handle) { delete static_cast<ApeCompressor*>(handle); }

int c_APECompress_Start(ApeCompressHandle handle, const char* path, const ApeWaveFormatEx* format,
                        int64_t max_audio_bytes, int level, const void* header_data,
                        int /*header_bytes*/) {
  if (handle == nullptr || format == nullptr || header_data != nullptr)
    return MACDLL_ERROR_PARAMETER;
  return Guarded([&] {
    return static_cast<ApeCompressor*>(handle)->Start(path, *format, max_audio_bytes, level);
  });
}

int c_APECompress_AddData(ApeCompressHandle handle, const unsigned char* data, int bytes) {
  if (handle == nullptr) return MACDLL_ERROR_PARAMETER;
  return Guarded([&] { return static_cast<ApeCompressor*>(handle)->AddData(data, bytes); });
}

int c_APECompress_Finish(ApeCompressHandle handle, const unsigned char* terminating_data,
                         int terminating_bytes, int wav_terminating_bytes) {
  if (handle == nullptr || terminating_data != nullptr || terminating_bytes != 0 ||
      wav_terminating_bytes != 0)
    return MACDLL_ERROR_PARAMETER;
  return Guarded([&] { return static_cast<ApeCompressor*>(handle)->Finish(); });
}

}  // extern "C"
