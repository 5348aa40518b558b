// The MP3 encoder interface: LAME's classic stream functions and configuration record,
// written over libmp3lame.
//
// A stream is opened from a BE_CONFIG (only the LAME variant, dwConfig = BE_CONFIG_LAME),
// fed 16-bit PCM, flushed, closed; its Xing/LAME header is then written into the finished
// file by beWriteVBRHeader(path). Every function returns BE_ERR_SUCCESSFUL (0) or one of the
// non-zero codes below, never throws, and never touches anything but its own stream; any
// number of streams may be open at once, each from one thread at a time.
//
// Configuration (format.LHV1):
//   dwSampleRate      input rate, Hz
//   dwReSampleRate    output rate; 0 = the encoder chooses; a rate MPEG audio cannot carry
//                     (e.g. 96000) also lets the encoder choose, instead of refusing
//   nMode             BE_MP3_MODE_*; mono (3) means the input has one channel, every other
//                     mode two. LAME has no dual-channel coding: dual channel is coded stereo
//   dwBitrate         kbit/s: the bitrate (CBR), the minimum (VBR), the average when
//                     dwVbrAbr_bps is 0 (ABR)
//   dwMaxBitrate      kbit/s, the maximum for VBR and ABR (0 = none)
//   nPreset           LQP_* 0–5, see docs/DESIGN.md; others use nQuality alone
//   bPrivate, bCRC, bCopyright, bOriginal   the frame header bits
//   bWriteVBRHeader   reserve the first frame for the Xing/LAME header (CBR too: "Info")
//   bEnableVBR        0 = CBR; otherwise nVbrMethod picks VBR (-1/0 default, 1 old, 2 new,
//                     3 mtrh) or ABR (4, average dwVbrAbr_bps / 1000)
//   nVBRQuality       0 (best) … 9
//   bNoRes, bStrictIso, dwEmphasis   passed to LAME
//   nQuality          the low byte 0 (best, slowest) … 9 is LAME's algorithm quality; other
//                     values keep LAME's default
//   dwMpegVersion and dwPsyModel are not used: the output rate decides the MPEG version.
#pragma once

#include <cstdint>

using BE_ERR = std::uint32_t;
using HBE_STREAM = struct LameEncStream*;

constexpr std::uint32_t BE_CONFIG_MP3 = 0;
constexpr std::uint32_t BE_CONFIG_LAME = 256;

constexpr BE_ERR BE_ERR_SUCCESSFUL = 0;
constexpr BE_ERR BE_ERR_INVALID_FORMAT = 1;             // not a LAME configuration
constexpr BE_ERR BE_ERR_INVALID_FORMAT_PARAMETERS = 2;  // a value LAME refuses; a bad argument;
                                                        // a file that cannot be written
constexpr BE_ERR BE_ERR_NO_MORE_HANDLES = 3;            // out of memory
constexpr BE_ERR BE_ERR_INVALID_HANDLE = 4;             // not an open stream
constexpr BE_ERR BE_ERR_BUFFER_TOO_SMALL = 5;           // the encoder needed more output room

constexpr std::int32_t BE_MP3_MODE_STEREO = 0;
constexpr std::int32_t BE_MP3_MODE_JSTEREO = 1;
constexpr std::int32_t BE_MP3_MODE_DUALCHANNEL = 2;
constexpr std::int32_t BE_MP3_MODE_MONO = 3;

constexpr std::int32_t LQP_NOPRESET = -1;
constexpr std::int32_t LQP_NORMAL_QUALITY = 0;
constexpr std::int32_t LQP_LOW_QUALITY = 1;
constexpr std::int32_t LQP_HIGH_QUALITY = 2;
constexpr std::int32_t LQP_VOICE_QUALITY = 3;
constexpr std::int32_t LQP_R3MIX = 4;
constexpr std::int32_t LQP_VERYHIGH_QUALITY = 5;

constexpr std::int32_t VBR_METHOD_NONE = -1;
constexpr std::int32_t VBR_METHOD_DEFAULT = 0;
constexpr std::int32_t VBR_METHOD_OLD = 1;
constexpr std::int32_t VBR_METHOD_NEW = 2;
constexpr std::int32_t VBR_METHOD_MTRH = 3;
constexpr std::int32_t VBR_METHOD_ABR = 4;

#pragma pack(push, 1)
// 331 bytes, little-endian, at the classic offsets (dwSampleRate at 12, nQuality at 92).
struct BE_CONFIG {
  std::uint32_t dwConfig;
  union {
    struct {
      std::uint32_t dwStructVersion;  // 1
      std::uint32_t dwStructSize;     // sizeof(BE_CONFIG)
      std::uint32_t dwSampleRate;
      std::uint32_t dwReSampleRate;
      std::int32_t nMode;
      std::uint32_t dwBitrate;
      std::uint32_t dwMaxBitrate;
      std::int32_t nPreset;
      std::uint32_t dwMpegVersion;
      std::uint32_t dwPsyModel;
      std::uint32_t dwEmphasis;
      std::int32_t bPrivate;
      std::int32_t bCRC;
      std::int32_t bCopyright;
      std::int32_t bOriginal;
      std::int32_t bWriteVBRHeader;
      std::int32_t bEnableVBR;
      std::int32_t nVBRQuality;
      std::uint32_t dwVbrAbr_bps;
      std::int32_t nVbrMethod;
      std::int32_t bNoRes;
      std::int32_t bStrictIso;
      std::uint16_t nQuality;
      std::uint8_t btReserved[237];
    } LHV1;
  } format;
};
#pragma pack(pop)
static_assert(sizeof(BE_CONFIG) == 331);

// A LAME configuration with every field zero but dwConfig (BE_CONFIG_LAME), dwStructVersion
// (1) and dwStructSize.
BE_CONFIG BeLameConfig();

// Opens a stream. *samples receives the 16-bit samples (all channels) of one MPEG frame, a
// good chunk to feed; *buffer_size the output room beEncodeChunk needs for such a chunk.
BE_ERR beInitStream(const BE_CONFIG* config, std::uint32_t* samples, std::uint32_t* buffer_size,
                    HBE_STREAM* stream);
// Encodes `samples` 16-bit samples (interleaved, all channels counted; a whole number of
// sample frames) into `output`, which must hold 1.25 × samples per channel + 7200 bytes;
// *output_bytes receives the bytes written (often 0: the encoder buffers).
BE_ERR beEncodeChunk(HBE_STREAM stream, std::uint32_t samples, const short* pcm,
                     std::uint8_t* output, std::uint32_t* output_bytes);
// Flushes the encoder into `output` (at least 7200 bytes). Afterwards only beCloseStream.
BE_ERR beDeinitStream(HBE_STREAM stream, std::uint8_t* output, std::uint32_t* output_bytes);
// Releases the stream. A flushed stream that asked for a header keeps it for
// beWriteVBRHeader.
BE_ERR beCloseStream(HBE_STREAM stream);
// Writes the Xing/LAME header kept by a closed stream into the finished file at `path`, over
// the first frame (after an ID3v2 tag, if any). The file is recognised by its audio: the same
// byte count and last bytes as that stream produced. Succeeds without writing when no
// closed stream produced this file (its configuration asked for no header). The newest 64
// headers are kept.
BE_ERR beWriteVBRHeader(const char* path);
