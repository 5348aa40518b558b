// Waveform output: the classic open / prepare / write / pause / restart / reset / close
// operations over ALSA.
//
// A handle owns a device thread that hands queued buffers to ALSA in the order they were
// written and calls the done callback (WOM_DONE) once per buffer, in the same order, when the
// buffer's last frame has been played (the device's delay has run past it). So the audio
// still buffered inside ALSA is never cut: once every buffer came back, the device is silent.
//
// Device: ALSA "default", or the PCM named by the environment variable WAVELATHE_AUDIO_DEVICE.
// Pause uses the device's own pause where it has one; otherwise (or when the environment
// variable WAVELATHE_AUDIO_SOFT_PAUSE is set, for devices whose pause misbehaves) ALSA's buffer
// is dropped and its unplayed frames are written again on restart.
// Every operation returns false on failure and changes nothing then. Calls are made from one
// controlling thread (the UI thread); none of them waits for the device, except Reset and
// Close, which wait briefly (bounded) for the device thread. The callback runs on the device
// thread, or on the caller's thread inside Reset; it must not call back into these functions.
//
// Buffers are not copied when written; the data must stay valid and unchanged until the
// buffer comes back through the callback (or Reset returns). After Reset has returned, the
// device never reads a returned buffer again, even if ALSA itself is stuck.
#pragma once

#include <cstdint>

namespace platform {

constexpr std::uint32_t WOM_OPEN = 0x3BB;
constexpr std::uint32_t WOM_CLOSE = 0x3BC;
constexpr std::uint32_t WOM_DONE = 0x3BD;

constexpr std::uint32_t WAVE_FORMAT_PCM = 1;

// WaveHeader::flags bits.
constexpr std::uint32_t WHDR_DONE = 0x01;      // returned by the device
constexpr std::uint32_t WHDR_PREPARED = 0x02;  // prepared and not yet unprepared
constexpr std::uint32_t WHDR_INQUEUE = 0x10;   // written and not yet returned

struct WaveFormat {
  std::uint16_t formatTag = WAVE_FORMAT_PCM;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSec = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;     // channels × bitsPerSample ÷ 8
  std::uint16_t bitsPerSample = 0;  // 8 (unsigned), 16, 24 (packed) or 32 (signed, little-endian)
};

// One buffer of interleaved frames. Only whole frames are played; trailing bytes that do not
// make a frame are ignored. `flags` belongs to the device while the buffer is queued; read it
// only after the buffer came back.
struct WaveHeader {
  const std::uint8_t* data = nullptr;
  std::uint32_t bufferLength = 0;  // bytes
  std::uintptr_t user = 0;         // free for the caller
  std::uint32_t flags = 0;
};

class WaveOut;
using HWaveOut = WaveOut*;

// msg is WOM_OPEN, WOM_DONE (header = the finished buffer) or WOM_CLOSE (header null);
// instance is the value given to WaveOutOpen; param2 is always 0.
using WaveOutProc = void (*)(HWaveOut device, std::uint32_t msg, std::uintptr_t instance,
                             WaveHeader* header, std::uintptr_t param2);

// Opens the output device for `format` and starts its thread. False (and *device null) when
// the format is not PCM this device can play or the device cannot be opened. The callback may
// be null. ALSA's own buffer holds at least 200 ms where the device allows it.
bool WaveOutOpen(HWaveOut* device, const WaveFormat& format, WaveOutProc callback,
                 std::uintptr_t instance);
// Marks a header ready for Write. False when it is queued or has no data.
bool WaveOutPrepareHeader(HWaveOut device, WaveHeader* header);
// Clears the prepared state. False while the header is still queued.
bool WaveOutUnprepareHeader(HWaveOut device, WaveHeader* header);
// Queues a prepared header behind the others and returns at once.
bool WaveOutWrite(HWaveOut device, WaveHeader* header);
// Pauses output without losing or repeating a frame; no buffer comes back while paused.
bool WaveOutPause(HWaveOut device);
bool WaveOutRestart(HWaveOut device);
// Stops at once, discards what ALSA still holds and returns every queued buffer through the
// callback, in queue order, before it returns. Also ends a pause.
bool WaveOutReset(HWaveOut device);
// Stops the thread and closes the device; the handle is gone afterwards. Refuses (false, the
// handle stays open) while buffers are queued: Reset first, as with the classic interface.
bool WaveOutClose(HWaveOut device);

// Name of the ALSA device that WaveOutOpen uses.
const char* WaveOutDeviceName();

}  // namespace platform
