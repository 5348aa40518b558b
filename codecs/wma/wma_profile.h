// The pieces of the WMA writer's set-up that talk to the runtime's codec listing: the search
// for the Windows Media Audio 2 format that fits a rate, a channel count and a bitrate, the
// one-stream profile built around it, and the switch of the writer's input to 8-bit PCM.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/wmf/com_object.h"
#include "platform/wmf/wmf.h"

namespace wma {

using platform::wmf::ComPtr;
using platform::wmf::HRESULT;

// No listed format fits the rate, the channel count and the bitrate.
constexpr HRESULT kNoMatchingFormat = platform::wmf::MakeHresult(0xC00D0BC2);

// Builds a profile of one audio stream (number 1, "Audio Stream", connection "Audio") whose
// format is the listed WMA 2 format at `rate` Hz and `channels` whose bitrate lies within 249
// bit/s of `kbps` kbit/s; among several, the largest block align wins, the later one in the
// listing on a tie. S_OK with *profile set; kNoMatchingFormat when none fits; otherwise the
// failing call's result (E_FAIL for a listed format that is not a whole WAVEFORMATEX).
HRESULT BuildWmaProfile(std::int32_t rate, std::int32_t channels, std::int32_t kbps,
                        ComPtr<platform::wmf::IWMProfile>* profile);

// Makes the writer (whose profile is set) take 8-bit unsigned PCM on input 0.
HRESULT UseEightBitInput(platform::wmf::IWMWriter* writer);

// The media type of `props`, copied the two-call way into `storage` (which owns it, format
// block included). Null on failure with the result in *hr; sizes above 1 MiB count as failure.
platform::wmf::WM_MEDIA_TYPE* CopyMediaType(platform::wmf::IWMMediaProps* props,
                                            std::vector<std::uint64_t>* storage, HRESULT* hr);

// The WAVEFORMATEX of `type` when its format block holds one whole, extra bytes included.
const platform::wmf::WAVEFORMATEX* WaveFormatOf(const platform::wmf::WM_MEDIA_TYPE& type);

}  // namespace wma
