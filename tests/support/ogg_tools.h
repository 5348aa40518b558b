// Ogg Vorbis media for tests, made and read by the public tools: files encoded by oggenc, PCM
// decoded by oggdec, comments listed by vorbiscomment; and, for hostile cases, a file whose
// comment header is replaced (repaged with libogg, so that every page checksum is right).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

// The text between single quotes for the shell.
std::string ShellQuoted(const std::string& text);
// Encodes `frames` frames of NoiseSample at `rate`/`channels` with `oggenc -Q <args>`.
bool EncodeWithOggenc(const std::string& ogg, int rate, int channels, std::int64_t frames,
                      const std::string& args = "-b 128");
// The 16-bit signed little-endian PCM oggdec decodes from `ogg`; nullopt when it fails.
std::optional<Bytes> DecodeWithOggdec(const std::string& ogg);
// The comments vorbiscomment lists for `ogg`, one per entry; nullopt when it fails.
std::optional<std::vector<std::string>> ListComments(const std::string& ogg);

// A Vorbis comment header; `declaredCount` replaces the real number of comments when >= 0.
Bytes CommentHeader(const std::string& vendor, const std::vector<std::string>& comments,
                    std::int64_t declaredCount = -1);
// `ogg` (one logical stream) with its comment header replaced by `header`.
Bytes ReplaceCommentHeader(const Bytes& ogg, const Bytes& header);

}  // namespace testing_support
