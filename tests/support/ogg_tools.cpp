#include "tests/support/ogg_tools.h"

#include <ogg/ogg.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "tests/support/test_files.h"

namespace testing_support {
namespace {

void Put32(Bytes& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void AppendPage(Bytes& out, const ogg_page& page) {
  out.insert(out.end(), page.header, page.header + page.header_len);
  out.insert(out.end(), page.body, page.body + page.body_len);
}

// Every packet of the first logical stream of `ogg`, with its granule position.
std::vector<std::pair<Bytes, ogg_int64_t>> Packets(const Bytes& ogg) {
  std::vector<std::pair<Bytes, ogg_int64_t>> packets;
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(ogg.size()));
  std::memcpy(buffer, ogg.data(), ogg.size());
  ogg_sync_wrote(&sync, static_cast<long>(ogg.size()));
  ogg_stream_state stream;
  bool started = false;
  ogg_page page;
  while (ogg_sync_pageout(&sync, &page) == 1) {
    if (!started) ogg_stream_init(&stream, ogg_page_serialno(&page));
    started = true;
    if (ogg_stream_pagein(&stream, &page) != 0) continue;
    ogg_packet packet;
    while (ogg_stream_packetout(&stream, &packet) == 1)
      packets.emplace_back(Bytes(packet.packet, packet.packet + packet.bytes), packet.granulepos);
  }
  if (started) ogg_stream_clear(&stream);
  ogg_sync_clear(&sync);
  return packets;
}

}  // namespace

std::string ShellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool EncodeWithOggenc(const std::string& ogg, int rate, int channels, std::int64_t frames,
                      const std::string& args) {
  const std::string wav = ogg + ".source.wav";
  WriteWav(wav, rate, channels, 16, frames, NoiseSample);
  int status = 0;
  RunCommand("oggenc -Q " + args + " -o " + ShellQuoted(ogg) + " " + ShellQuoted(wav) + " 2>&1",
             &status);
  std::remove(wav.c_str());
  return status == 0;
}

std::optional<Bytes> DecodeWithOggdec(const std::string& ogg) {
  const std::string raw = ogg + ".oggdec.raw";
  int status = 0;
  RunCommand(
      "oggdec -Q -R -b 16 -e 0 -s 1 -o " + ShellQuoted(raw) + " " + ShellQuoted(ogg) + " 2>&1",
      &status);
  Bytes pcm = ReadFileBytes(raw);
  std::remove(raw.c_str());
  if (status != 0) return std::nullopt;
  return pcm;
}

std::optional<std::vector<std::string>> ListComments(const std::string& ogg) {
  int status = 0;
  const std::string out = RunCommand("vorbiscomment -l -R " + ShellQuoted(ogg), &status);
  if (status != 0) return std::nullopt;
  std::vector<std::string> comments;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) comments.push_back(line);
  return comments;
}

Bytes CommentHeader(const std::string& vendor, const std::vector<std::string>& comments,
                    std::int64_t declaredCount) {
  Bytes out = {3, 'v', 'o', 'r', 'b', 'i', 's'};
  Put32(out, static_cast<std::uint32_t>(vendor.size()));
  out.insert(out.end(), vendor.begin(), vendor.end());
  Put32(out, static_cast<std::uint32_t>(declaredCount >= 0 ? declaredCount : comments.size()));
  for (const std::string& comment : comments) {
    Put32(out, static_cast<std::uint32_t>(comment.size()));
    out.insert(out.end(), comment.begin(), comment.end());
  }
  out.push_back(1);  // framing bit
  return out;
}

Bytes ReplaceCommentHeader(const Bytes& ogg, const Bytes& header) {
  std::vector<std::pair<Bytes, ogg_int64_t>> packets = Packets(ogg);
  if (packets.size() < 3) return {};
  packets[1].first = header;
  ogg_stream_state stream;
  ogg_stream_init(&stream, 0x5EED);
  Bytes out;
  ogg_page page;
  for (std::size_t i = 0; i < packets.size(); ++i) {
    Bytes& data = packets[i].first;
    ogg_packet packet{};
    packet.packet = data.data();
    packet.bytes = static_cast<long>(data.size());
    packet.b_o_s = i == 0;
    packet.e_o_s = i + 1 == packets.size();
    packet.granulepos = i < 3 ? 0 : packets[i].second;
    packet.packetno = static_cast<ogg_int64_t>(i);
    ogg_stream_packetin(&stream, &packet);
    // The headers end their pages, as a Vorbis stream requires.
    while (i < 3 ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page))
      AppendPage(out, page);
  }
  while (ogg_stream_flush(&stream, &page)) AppendPage(out, page);
  ogg_stream_clear(&stream);
  return out;
}

}  // namespace testing_support
