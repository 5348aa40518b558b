// The peak table and its envelope queries on PCM held in memory.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "waveview/peak_table.h"

namespace {

// Interleaved 16-bit PCM with value(frame, channel).
struct Pcm16 {
  Pcm16(std::int64_t frames, int channels, const std::function<int(std::int64_t, int)>& value)
      : bytes(static_cast<std::size_t>(frames * channels * 2)) {
    src.channels = channels;
    src.bitsPerSample = 16;
    src.frames = frames;
    for (std::int64_t f = 0; f < frames; ++f) {
      for (int c = 0; c < channels; ++c) {
        const auto v = static_cast<std::int16_t>(value(f, c));
        std::memcpy(&bytes[static_cast<std::size_t>((f * channels + c) * 2)], &v, 2);
      }
    }
    src.data = bytes.data();
  }
  std::vector<std::uint8_t> bytes;
  SampleSource src;
};

void ExpectEnvelope(const Envelope& e, int minL, int maxL, int minR, int maxR) {
  EXPECT_EQ(e.minL, minL);
  EXPECT_EQ(e.maxL, maxL);
  EXPECT_EQ(e.minR, minR);
  EXPECT_EQ(e.maxR, maxR);
}

TEST(PeakTable, BlockSizeFollowsLengthAndTableStaysSmall) {
  struct Case {
    std::int64_t total, blockFrames, blockCount;
  };
  for (const Case c :
       {Case{999'999, 100, 9'999}, Case{1'000'000, 100, 10'000}, Case{10'000'000, 1'000, 10'000},
        Case{1'999'999, 199, 10'050}, Case{0, 100, 0}, Case{99, 100, 0}}) {
    PeakTable table;
    table.Reset(c.total);
    EXPECT_EQ(table.blockFrames(), c.blockFrames) << c.total;
    EXPECT_EQ(table.blockCount(), c.blockCount) << c.total;
  }
  PeakTable longest;
  longest.Reset(44'100LL * 3 * 3600 * 100);  // 300 hours
  EXPECT_LE(longest.blockCount(), 10'099);
  EXPECT_LT(longest.MemoryBytes(), 81'000u);
  ExpectEnvelope(longest.Entry(longest.blockCount() - 1), 0, 0, 0, 0);
  longest.Clear();
  EXPECT_EQ(longest.blockCount(), 0);
  EXPECT_EQ(longest.blockFrames(), 100);
}

TEST(PeakTable, BlockEnvelopeSamplesAboutTenFrames) {
  // Frames on multiples of 10 hold small values; every other frame is loud and must be
  // skipped by a 100-frame block.
  Pcm16 pcm(1'000, 2, [](std::int64_t f, int c) {
    if (f % 10 != 0) return c == 0 ? 30'000 : -30'000;
    return static_cast<int>(f / 10) * (c == 0 ? 1 : -2);
  });
  ExpectEnvelope(PeakTable::BlockEnvelope(pcm.src, 100, 0), 0, 9, -18, 0);
  ExpectEnvelope(PeakTable::BlockEnvelope(pcm.src, 100, 300), 30, 39, -78, -60);
  // Below 20 frames every frame is examined.
  ExpectEnvelope(PeakTable::BlockEnvelope(pcm.src, 12, 0), 0, 30'000, -30'000, 0);
  // A 47,628-frame block uses stride 4,762: k = 0 … 10.
  std::vector<std::int64_t> seen;
  Pcm16 wide(47'628, 1, [&](std::int64_t f, int) {
    return f % 4'762 == 0 ? -static_cast<int>(f / 4'762) - 1 : 5;
  });
  ExpectEnvelope(PeakTable::BlockEnvelope(wide.src, 47'628, 0), -11, -1, 0, 0);
}

TEST(PeakTable, EightBitValuesAreCentredOn128) {
  std::vector<std::uint8_t> silent(200, 128);
  SampleSource src{silent.data(), 100, 2, 8};
  ExpectEnvelope(PeakTable::BlockEnvelope(src, 100, 0), 0, 0, 0, 0);
  std::vector<std::uint8_t> loud = {255, 0, 0, 255, 128, 128};
  SampleSource stereo{loud.data(), 3, 2, 8};
  ExpectEnvelope(PeakTable::BlockEnvelope(stereo, 3, 0), -128, 127, -128, 127);
  SampleSource mono{loud.data(), 6, 1, 8};
  ExpectEnvelope(PeakTable::BlockEnvelope(mono, 6, 0), -128, 127, 0, 0);
  // Nothing examined: the starting values, after the 8-bit shift.
  ExpectEnvelope(PeakTable::BlockEnvelope(stereo, 0, 0), 127, -128, 127, -128);
  // Widths the view does not draw leave the starting values alone.
  SampleSource odd{loud.data(), 3, 1, 12};
  ExpectEnvelope(PeakTable::BlockEnvelope(odd, 3, 0), 32767, -32768, 32767, -32768);
}

// A table of 10 blocks whose entries differ from the samples, so the source of every
// envelope is visible.
struct TableFixture {
  TableFixture()
      : pcm(1'000, 2, [](std::int64_t f, int c) { return c == 0 ? static_cast<int>(f) : -7; }) {
    table.Reset(1'000);
    for (int j = 0; j < 10; ++j) table.SetEntry(j, Envelope{-100 * j, 100 * j, -j, j});
  }
  Pcm16 pcm;
  PeakTable table;
};

TEST(PeakTable, RangeEnvelopeUsesTheTableForWholeBlocksOnly) {
  TableFixture fx;
  // One whole block plus one frame, from a boundary: that entry alone.
  std::int64_t pos = 300;
  ExpectEnvelope(fx.table.RangeEnvelope(fx.pcm.src, 101, pos), -300, 300, -3, 3);
  EXPECT_EQ(pos, 401);
  // 150..450 holds blocks 2 and 3 whole; the partial blocks around them are not read.
  pos = 150;
  ExpectEnvelope(fx.table.RangeEnvelope(fx.pcm.src, 300, pos), -300, 300, -3, 3);
  EXPECT_EQ(pos, 450);
  // 150..270 straddles one boundary without a whole block: frames 150, 155 … 195 and
  // 200, 207 … 263 are sampled.
  pos = 150;
  ExpectEnvelope(fx.table.RangeEnvelope(fx.pcm.src, 120, pos), 150, 263, -7, -7);
  EXPECT_EQ(pos, 270);
  // Up to one block: samples only.
  pos = 20;
  ExpectEnvelope(fx.table.RangeEnvelope(fx.pcm.src, 100, pos), 20, 110, -7, -7);
  // Table ranges reaching past the table fold nothing.
  Envelope env;
  fx.table.TableEnvelope(900, 1'100, env);
  ExpectEnvelope(env, 32767, -32768, 32767, -32768);
  fx.table.TableEnvelope(1'000, 1'000, env);
  ExpectEnvelope(env, 32767, -32768, 32767, -32768);
}

struct Column {
  int x;
  Envelope env;
};

std::vector<Column> Walk(const PeakTable& table, const SampleSource& src, std::int64_t total,
                         int width, double zoom, std::int64_t start) {
  std::vector<Column> columns;
  table.WalkColumns(src, total, width, zoom, start, [&](int x, const Envelope& e) {
    columns.push_back({x, e});
  });
  return columns;
}

TEST(PeakTable, WholeFileWalkReachesTheLastWholeBlock) {
  // 1,234,567 frames: blocks of 123, 10,037 entries, a partial block at the end.
  const std::int64_t total = 1'234'567;
  Pcm16 pcm(total, 1, [](std::int64_t, int) { return 0; });
  PeakTable table;
  table.Reset(total);
  const std::int64_t last = table.blockCount() - 1;
  table.SetEntry(last, Envelope{-2'000, 3'000, 0, 0});
  const auto columns = Walk(table, pcm.src, total, 800, 1.0, 0);
  ASSERT_EQ(columns.size(), 800u);
  EXPECT_EQ(columns.front().x, 1);
  EXPECT_EQ(columns.back().x, 800);
  ExpectEnvelope(columns.back().env, -2'000, 3'000, 0, 0);
  for (std::size_t i = 0; i + 1 < columns.size(); ++i) {
    EXPECT_EQ(columns[i].env.maxL, 0) << "column " << columns[i].x;
  }
}

TEST(PeakTable, ZoomedWalkSkipsColumnsBelowOneFrame) {
  // 250 visible frames over 800 columns: one frame every 3.2 columns.
  Pcm16 pcm(1'000, 1, [](std::int64_t f, int) { return static_cast<int>(f); });
  PeakTable table;
  table.Reset(1'000);
  const auto columns = Walk(table, pcm.src, 1'000, 800, 4.0, 500);
  ASSERT_EQ(columns.size(), 250u);
  EXPECT_EQ(columns.front().x, 4);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    EXPECT_EQ(columns[i].env.minL, static_cast<int>(500 + i));
    if (i > 0) {
      const int gap = columns[i].x - columns[i - 1].x;
      EXPECT_TRUE(gap == 3 || gap == 4) << i;
    }
  }
  // The walk stops at the end of the file even when the view would run past it.
  const auto tail = Walk(table, pcm.src, 1'000, 800, 4.0, 900);
  ASSERT_FALSE(tail.empty());
  EXPECT_EQ(tail.back().env.maxL, 999);
  EXPECT_EQ(tail.size(), 100u);
}

}  // namespace
