// The records the MP3 decoder module (mp3decdll.so, loaded at run time) and its host exchange.
//
// The module's C export `mp3dec` returns its one DecoderModule record (owned by the module,
// valid until the process ends). Every member is pointer-wide, so member n sits at byte
// n × sizeof(void*): the order is the classic 32-bit layout with each 4-byte slot widened.
//
// The host fills host_window, host_instance, the eleven analysis hooks, set_info and output,
// then calls init() once. After that, one file at a time:
//
//   play(path) → 0 when the file holds MPEG audio and decoding has started; non-zero at once
//     when the file cannot be decoded (not MPEG audio, unreadable) or another play is still
//     running. Nothing is called on the host after a non-zero result.
//   get_length() → length in milliseconds of the file of the last successful play
//     (gapless: encoder delay and padding removed when the file's LAME tag gives them; exact
//     for CBR and VBR); -1 before any. Valid as soon as play returned 0.
//   stop() → ends the decode. It returns only when the module's thread has ended; from then on
//     the module calls nothing on the host and posts nothing until the next play. Called from
//     inside one of the output callbacks it only asks the thread to end: the thread then
//     returns from that callback, calls output->close() and ends without further calls.
//
// Each play runs on a thread of the module's own. On it, in this order:
//   output->open(rate, channels, 16, -1, -1)   the PCM format; a negative result ends the play
//                                              quietly (close is still called, nothing posted)
//   set_info(kbit/s, rate in kHz, channels, 1) the stream's (average) bitrate
//   then, repeatedly, output->can_write() and, when it offers at least one MPEG frame of PCM,
//   output->write(pcm, n) with n ≤ min(offer, 32768) bytes of interleaved 16-bit signed
//   native-endian samples (whole sample frames). While can_write offers less, the module asks
//   again about every 10 ms, so a host may hold it back indefinitely (until stop).
//   At the end of the stream (or after a decoding error: the PCM decoded so far stays
//   delivered) the module waits until output->is_playing() returns 0, calls output->close(),
//   and posts kEndOfStreamMessage (wParam 0, lParam 0) to host_window. After stop the end is
//   never posted.
// The analysis hooks and the equaliser member are not called by this module.
//
// The PCM format is fixed for the whole stream (the first frame's rate and channel count).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/message.h"

namespace mp3module {

// Posted to host_window when a stream has been decoded to its end.
constexpr std::uint32_t kEndOfStreamMessage = platform::kWmUser + 2;  // 0x402

// The output device the host offers the module; the host's own record.
struct OutputModule {
  std::intptr_t version;  // 0x10
  const char* description;
  std::intptr_t id;
  platform::MessageTarget* host_window;
  void* host_instance;
  void (*configure)(platform::MessageTarget* parent);
  void (*about)(platform::MessageTarget* parent);
  void (*init)();
  void (*quit)();
  // Returns the output latency in ms (≥ 0), or a negative value when it cannot play the format.
  int (*open)(int sample_rate, int channels, int bits_per_sample, int buffer_ms, int prebuffer_ms);
  void (*close)();
  // Takes `length` bytes of PCM; 0 = accepted.
  int (*write)(char* buffer, int length);
  // Bytes the output can take now.
  int (*can_write)();
  // Non-zero while written audio is still playing.
  int (*is_playing)();
  int (*pause)(int paused);
  void (*set_volume)(int volume);
  void (*set_pan)(int pan);
  // The position restarts at `time_ms` (after a seek).
  void (*flush)(int time_ms);
  int (*get_output_time)();
  int (*get_written_time)();
};

// The decoder module; members marked "host" are filled by the host before init().
struct DecoderModule {
  std::intptr_t version;
  const char* description;
  platform::MessageTarget* host_window;  // host
  void* host_instance;                   // host
  // File types handled: pairs of zero-terminated strings (extensions, their description),
  // ending with an empty string.
  const char* extensions;
  std::intptr_t is_seekable;
  std::intptr_t uses_output;
  void (*configure)(platform::MessageTarget* parent);  // no settings: does nothing
  void (*about)(platform::MessageTarget* parent);      // does nothing
  void (*init)();
  void (*quit)();  // stops a running decode
  // Length of `file` in ms (-1 when it cannot be decoded) and its name without folder and
  // extension as title (at most title_size bytes with the terminating zero; title may be null).
  void (*get_file_info)(const char* file, char* title, std::size_t title_size, int* length_ms);
  int (*info_box)(const char* file, platform::MessageTarget* parent);  // none: returns 0
  int (*is_our_file)(const char* file);                                // extensions decide: 0
  int (*play)(const char* file);
  void (*pause)();  // holds the decode and calls output->pause(1)
  void (*unpause)();
  int (*is_paused)();
  void (*stop)();
  int (*get_length)();
  int (*get_output_time)();  // output->get_output_time()
  // The module does not seek (is_seekable is 0): does nothing.
  void (*set_output_time)(int time_ms);
  void (*set_volume)(int volume);  // passed to the output
  void (*set_pan)(int pan);        // passed to the output

  // Analysis hooks (host).
  void (*vis_init)(int max_latency_ms, int sample_rate);
  void (*vis_deinit)();
  void (*vis_add_pcm)(void* pcm, int channels, int bits_per_sample, int timestamp_ms);
  int (*vis_get_mode)();
  void (*vis_add)(void* data, int timestamp_ms, int mode);
  void (*vis2_add_pcm)(void* pcm, int channels, int bits_per_sample, int timestamp_ms);
  int (*vis2_get_mode)(int* spectrum_channels, int* wave_channels);
  void (*vis2_add)(void* data, int timestamp_ms);
  void (*vis2_set_info)(int sample_rate, int channels);
  int (*dsp_is_active)();
  int (*dsp_process)(short* samples, int frames, int bits_per_sample, int channels,
                     int sample_rate);

  void (*set_equalizer)(int on, char bands[10], int preamp);
  // Host: the stream's bitrate (kbit/s), rate (kHz), channel count, and 1 when in sync.
  void (*set_info)(int bitrate_kbps, int sample_rate_khz, int channels, int synchronised);
  OutputModule* output;  // host
};

// The classic 32-bit offsets, widened: member at 32-bit byte offset k is at k / 4 slots.
constexpr std::size_t SlotOffset(std::size_t offset32) { return offset32 / 4 * sizeof(void*); }
static_assert(offsetof(DecoderModule, host_window) == SlotOffset(8));
static_assert(offsetof(DecoderModule, host_instance) == SlotOffset(12));
static_assert(offsetof(DecoderModule, init) == SlotOffset(36));
static_assert(offsetof(DecoderModule, play) == SlotOffset(56));
static_assert(offsetof(DecoderModule, stop) == SlotOffset(72));
static_assert(offsetof(DecoderModule, get_length) == SlotOffset(76));
static_assert(offsetof(DecoderModule, vis_init) == SlotOffset(96));
static_assert(offsetof(DecoderModule, dsp_process) == SlotOffset(136));
static_assert(offsetof(DecoderModule, set_info) == SlotOffset(144));
static_assert(offsetof(DecoderModule, output) == SlotOffset(148));
static_assert(sizeof(OutputModule) == 20 * sizeof(void*));

// Name of the module's file and of its factory export.
constexpr const char* kModuleFileName = "mp3decdll.so";
constexpr const char* kFactoryName = "mp3dec";
using Factory = DecoderModule* (*)();

}  // namespace mp3module

// The factory export: the module's record (the same one on every call).
extern "C" __attribute__((visibility("default"))) mp3module::DecoderModule* mp3dec();
