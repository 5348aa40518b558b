// The plain C interface of the APE library, built as the run-time module MACDll.so and bound by
// name with dlopen/dlsym. Every function is safe to call with a null handle (it fails) and never
// lets an exception out. Results are 0 for success or one of the MACDLL_ERROR_* codes. A handle
// is used by one thread at a time; separate handles may be used at the same time.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MACDLL_FILE_NAME "MACDll.so"
#define MACDLL_EXPORT __attribute__((visibility("default")))

// The interface version callers ask GetInterfaceCompatibility about.
#define MACDLL_INTERFACE_VERSION 3990

// Result codes.
#define MACDLL_OK 0
#define MACDLL_ERROR_OPEN 1           // the file cannot be opened, read or created
#define MACDLL_ERROR_NOT_APE 2        // not an APE file, or a variant that cannot be decoded
#define MACDLL_ERROR_DAMAGED 3        // a frame failed to decode or its checksum did not match
#define MACDLL_ERROR_WRITE 4          // writing the output file failed
#define MACDLL_ERROR_PARAMETER 5      // a bad argument, or a call out of order
#define MACDLL_ERROR_MEMORY 6         // memory or a worker thread could not be had
#define MACDLL_ERROR_TOO_MUCH_DATA 7  // more audio than announced, or a file beyond 4 GiB
#define MACDLL_ERROR_NO_AUDIO 8       // Finish without a single whole block of audio
#define MACDLL_ERROR_VERSION 9        // the interface version asked for is not this one
#define MACDLL_ERROR_ENCODE 10        // the audio cannot be represented at this level

// Information codes of c_APEDecompress_GetInfo.
#define MACDLL_INFO_SAMPLE_RATE 1003      // Hz
#define MACDLL_INFO_BITS_PER_SAMPLE 1004  // 8, 16 or 24
#define MACDLL_INFO_CHANNELS 1006         // 1 or 2
#define MACDLL_INFO_BLOCK_ALIGN 1007      // bytes per block (channels × bytes per sample)
#define MACDLL_INFO_LENGTH_MS 1017        // total blocks × 1000 / sample rate, truncated
#define MACDLL_INFO_AVERAGE_BITRATE 1018  // file bits per millisecond of audio (kbit/s), rounded
#define MACDLL_INFO_TOTAL_BLOCKS 2002     // blocks the header announces

// The input format of the encoder: the 18-byte little-endian wave format record.
#pragma pack(push, 1)
typedef struct ApeWaveFormatEx {
  uint16_t wFormatTag;  // 1 (integer PCM)
  uint16_t nChannels;   // 1 or 2
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;     // nChannels × wBitsPerSample / 8
  uint16_t wBitsPerSample;  // 8 (unsigned), 16 or 24 (signed, little-endian)
  uint16_t cbSize;          // ignored
} ApeWaveFormatEx;
#pragma pack(pop)

typedef void* ApeDecompressHandle;
typedef void* ApeCompressHandle;

// 0 when this library serves `version` (MACDLL_INTERFACE_VERSION), else MACDLL_ERROR_VERSION.
// `verbose` and `window` are accepted for the caller's convenience and ignored.
MACDLL_EXPORT int GetInterfaceCompatibility(int version, int verbose, void* window);

// Opens an APE file (versions 3.80 to 3.99, 8/16/24-bit, mono or stereo) for decoding. Returns
// the handle, or null with *error set (MACDLL_ERROR_OPEN, MACDLL_ERROR_NOT_APE,
// MACDLL_ERROR_MEMORY); `error` may be null. The caller owns the handle.
MACDLL_EXPORT ApeDecompressHandle c_APEDecompress_Create(const char* path, int* error);
// Closes the file and frees the handle; null is ignored.
MACDLL_EXPORT void c_APEDecompress_Destroy(ApeDecompressHandle handle);
// Decodes up to `blocks` blocks into `buffer` (blocks × block align bytes), interleaved in the
// file's own format: 8-bit unsigned, 16-bit or 24-bit packed signed little-endian.
// *retrieved gets the count; 0 with MACDLL_OK means the end of the file. Frames are checked
// whole (with their checksum from version 3.90 on) before any of their blocks is handed out: a
// damaged frame gives MACDLL_ERROR_DAMAGED once the blocks before it have been delivered, and again
// on every later call until a seek.
MACDLL_EXPORT int c_APEDecompress_GetData(ApeDecompressHandle handle, unsigned char* buffer,
                                          int blocks, int* retrieved);
// Positions the next GetData at block `block` (0 … total blocks); MACDLL_ERROR_PARAMETER when
// outside, MACDLL_ERROR_DAMAGED when the file cannot be positioned there.
MACDLL_EXPORT int c_APEDecompress_Seek(ApeDecompressHandle handle, int block);
// One MACDLL_INFO_* value; -1 for an unknown code or a null handle. The parameters are unused.
MACDLL_EXPORT int c_APEDecompress_GetInfo(ApeDecompressHandle handle, int code, int param1,
                                          int param2);

// Creates an encoder; null with *error = MACDLL_ERROR_MEMORY when it cannot. The caller owns
// the handle.
MACDLL_EXPORT ApeCompressHandle c_APECompress_Create(int* error);
// Stops the encoder's workers, closes an unfinished output (left incomplete) and frees the
// handle; null is ignored.
MACDLL_EXPORT void c_APECompress_Destroy(ApeCompressHandle handle);
// Creates (or truncates) `path` and prepares a version 3.99 file of the given format.
// `max_audio_bytes` is the amount of audio that will follow (negative: unknown, up to 4 GiB);
// a little more is accepted (up to one further frame), beyond that AddData fails with
// MACDLL_ERROR_TOO_MUCH_DATA. `level` is 1000 … 5000 in steps of 1000; 24-bit stereo at 5000
// is written at 4000, the highest level every decoder agrees on. `header_data` must be null
// (`header_bytes` is then ignored): the decoder rebuilds the wave header.
MACDLL_EXPORT int c_APECompress_Start(ApeCompressHandle handle, const char* path,
                                      const ApeWaveFormatEx* format, int64_t max_audio_bytes,
                                      int level, const void* header_data, int header_bytes);
// Takes `bytes` bytes of interleaved PCM in the format given to Start; any split is allowed
// (a block may straddle two calls). Whole frames are encoded on worker threads meanwhile.
MACDLL_EXPORT int c_APECompress_AddData(ApeCompressHandle handle, const unsigned char* data,
                                        int bytes);
// Encodes what remains (a trailing partial block is dropped), writes the header and seek table
// and closes the file. `terminating_data` must be null and the byte counts 0.
MACDLL_EXPORT int c_APECompress_Finish(ApeCompressHandle handle,
                                       const unsigned char* terminating_data, int terminating_bytes,
                                       int wav_terminating_bytes);

// Function pointer types for binding the module with dlsym, one per export above.
typedef int (*GetInterfaceCompatibilityFn)(int, int, void*);
typedef ApeDecompressHandle (*ApeDecompressCreateFn)(const char*, int*);
typedef void (*ApeDecompressDestroyFn)(ApeDecompressHandle);
typedef int (*ApeDecompressGetDataFn)(ApeDecompressHandle, unsigned char*, int, int*);
typedef int (*ApeDecompressSeekFn)(ApeDecompressHandle, int);
typedef int (*ApeDecompressGetInfoFn)(ApeDecompressHandle, int, int, int);
typedef ApeCompressHandle (*ApeCompressCreateFn)(int*);
typedef void (*ApeCompressDestroyFn)(ApeCompressHandle);
typedef int (*ApeCompressStartFn)(ApeCompressHandle, const char*, const ApeWaveFormatEx*, int64_t,
                                  int, const void*, int);
typedef int (*ApeCompressAddDataFn)(ApeCompressHandle, const unsigned char*, int);
typedef int (*ApeCompressFinishFn)(ApeCompressHandle, const unsigned char*, int, int);

#ifdef __cplusplus
}
#endif
