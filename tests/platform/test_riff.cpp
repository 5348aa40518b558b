// The buffered RIFF file services: chunk search and creation, buffering, 64-bit positions,
// error numbers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/riff.h"
#include "tests/support/riff_bytes.h"
#include "tests/support/test_files.h"

using namespace platform;
using namespace testing_support;

namespace {

// Names shorter than four characters are padded with spaces.
FOURCC Code(const char* text) { return mmioStringToFOURCC(text, 0); }

HMMIO OpenBytes(const TempDir& dir, const Bytes& bytes, const std::string& name = "f.riff") {
  WriteFileBytes(dir.File(name), bytes);
  MMIOINFO info;
  return mmioOpen(dir.File(name), &info, MMIO_READ);
}

MMRESULT FindChunk(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, const char* id) {
  *chunk = MMCKINFO{};
  chunk->ckid = Code(id);
  return mmioDescend(file, chunk, parent, MMIO_FINDCHUNK);
}

MMRESULT FindRiff(HMMIO file, MMCKINFO* chunk, const char* form) {
  *chunk = MMCKINFO{};
  chunk->fccType = Code(form);
  return mmioDescend(file, chunk, nullptr, MMIO_FINDRIFF);
}

}  // namespace

TEST(Riff, WritesChunksPatchesSizesAndPadsOddOnes) {
  TempDir dir;
  const std::string path = dir.File("w.riff");
  MMIOINFO info;
  HMMIO file = mmioOpen(path, &info, MMIO_CREATE | MMIO_WRITE | MMIO_ALLOCBUF);
  ASSERT_NE(file, nullptr);
  MMCKINFO riff{}, odd{}, big{};
  riff.fccType = Code("TEST");
  ASSERT_EQ(mmioCreateChunk(file, &riff, MMIO_CREATERIFF), MMSYSERR_NOERROR);
  EXPECT_EQ(riff.dwDataOffset, 8);
  odd.ckid = Code("odd ");
  ASSERT_EQ(mmioCreateChunk(file, &odd, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(mmioWrite(file, "abc", 3), 3);
  ASSERT_EQ(mmioAscend(file, &odd, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(odd.cksize, 3u);
  EXPECT_EQ(mmioSeek(file, 0, SEEK_CUR), 12 + 8 + 4);
  big.ckid = Code("big ");
  ASSERT_EQ(mmioCreateChunk(file, &big, 0), MMSYSERR_NOERROR);
  // Many small writes: the buffer collects them; the size is patched on the way out.
  std::vector<std::uint8_t> expected;
  for (int i = 0; i < 50000; ++i) {
    const std::uint8_t piece[3] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8),
                                   7};
    ASSERT_EQ(mmioWrite(file, piece, 3), 3);
    expected.insert(expected.end(), piece, piece + 3);
  }
  ASSERT_EQ(mmioAscend(file, &big, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(mmioAscend(file, &riff, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);

  const Bytes bytes = ReadFileBytes(path);
  const Bytes want = RiffForm("TEST", {Chunk("odd ", {'a', 'b', 'c'}), Chunk("big ", expected)});
  ASSERT_EQ(bytes.size(), want.size());
  EXPECT_TRUE(bytes == want);

  // Read back through the search functions.
  file = mmioOpen(path, &info, MMIO_READ);
  ASSERT_NE(file, nullptr);
  MMCKINFO form, chunk;
  ASSERT_EQ(FindRiff(file, &form, "TEST"), MMSYSERR_NOERROR);
  EXPECT_EQ(form.cksize, bytes.size() - 8);
  ASSERT_EQ(FindChunk(file, &chunk, &form, "big "), MMSYSERR_NOERROR);
  EXPECT_EQ(chunk.cksize, expected.size());
  std::vector<std::uint8_t> back(expected.size());
  ASSERT_EQ(mmioRead(file, back.data(), static_cast<std::int32_t>(back.size())),
            static_cast<std::int32_t>(back.size()));
  EXPECT_TRUE(back == expected);
  EXPECT_EQ(mmioRead(file, back.data(), 10), 0);
  EXPECT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
}

TEST(Riff, CreateTruncatesAnExistingFile) {
  TempDir dir;
  WriteFileBytes(dir.File("x"), Bytes(1000, 1));
  MMIOINFO info;
  HMMIO file = mmioOpen(dir.File("x"), &info, MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(mmioWrite(file, "ab", 2), 2);
  ASSERT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(ReadFileBytes(dir.File("x")), (Bytes{'a', 'b'}));
}

TEST(Riff, SearchStaysInsideTheParentAndEndsOnHostileSizes) {
  TempDir dir;
  MMCKINFO form, chunk;
  // The list ends before "tail": a search inside the list does not find it; one inside the
  // form does.
  const Bytes list = Chunk("LIST", Concat({{'i', 'n', 'f', 'o'}, Chunk("one ", {1, 2, 3})}));
  HMMIO file = OpenBytes(dir, RiffForm("WAVE", {list, Chunk("tail", {9, 9})}));
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(FindRiff(file, &form, "WAVE"), MMSYSERR_NOERROR);
  MMCKINFO sub{};
  sub.fccType = Code("info");
  ASSERT_EQ(mmioDescend(file, &sub, &form, MMIO_FINDLIST), MMSYSERR_NOERROR);
  ASSERT_EQ(FindChunk(file, &chunk, &sub, "one "), MMSYSERR_NOERROR);
  EXPECT_EQ(chunk.cksize, 3u);
  ASSERT_EQ(mmioAscend(file, &chunk, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(FindChunk(file, &chunk, &sub, "tail"), MMIOERR_CHUNKNOTFOUND);
  mmioSeek(file, 12, SEEK_SET);
  ASSERT_EQ(FindChunk(file, &chunk, &form, "tail"), MMSYSERR_NOERROR);
  EXPECT_EQ(mmioSeek(file, 0, SEEK_CUR), chunk.dwDataOffset);
  mmioClose(file, 0);

  // A chunk claiming 4 GiB is found when asked for, but cannot be skipped to reach a later
  // one: the search ends.
  file = OpenBytes(
      dir, RiffForm("WAVE", {Chunk("huge", {1, 2, 3, 4}, 0xFFFFFFFF), Chunk("data", {5, 6})}));
  ASSERT_EQ(FindRiff(file, &form, "WAVE"), MMSYSERR_NOERROR);
  EXPECT_EQ(FindChunk(file, &chunk, &form, "data"), MMIOERR_CHUNKNOTFOUND);
  mmioSeek(file, 12, SEEK_SET);
  ASSERT_EQ(FindChunk(file, &chunk, &form, "huge"), MMSYSERR_NOERROR);
  EXPECT_EQ(chunk.cksize, 0xFFFFFFFFu);
  std::uint8_t buffer[64];
  EXPECT_EQ(mmioRead(file, buffer, 64), 4 + 8 + 2);  // reads stop at the end of the file
  mmioClose(file, 0);

  // A size that would bring a 32-bit position back to the same chunk cannot loop the search.
  file = OpenBytes(dir, RiffForm("WAVE", {Chunk("loop", {}, 0xFFFFFFF8), Chunk("data", {5, 6})}));
  ASSERT_EQ(FindRiff(file, &form, "WAVE"), MMSYSERR_NOERROR);
  EXPECT_EQ(FindChunk(file, &chunk, &form, "data"), MMIOERR_CHUNKNOTFOUND);
  mmioClose(file, 0);

  // A long run of empty chunks is walked in 8-byte steps and ends.
  std::vector<Bytes> empties(5000, Chunk("zero", {}));
  file = OpenBytes(dir, RiffForm("WAVE", empties));
  ASSERT_EQ(FindRiff(file, &form, "WAVE"), MMSYSERR_NOERROR);
  EXPECT_EQ(FindChunk(file, &chunk, &form, "data"), MMIOERR_CHUNKNOTFOUND);
  mmioClose(file, 0);

  // A header cut short by the end of the file, a form type missing, an empty file.
  file = OpenBytes(dir, Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A'});
  EXPECT_EQ(FindRiff(file, &form, "WAVE"), MMIOERR_CHUNKNOTFOUND);
  mmioClose(file, 0);
  file = OpenBytes(dir, Bytes{});
  EXPECT_EQ(FindRiff(file, &form, "WAVE"), MMIOERR_CHUNKNOTFOUND);
  mmioClose(file, 0);
  // A RIFF size smaller than its contents bounds the search.
  file = OpenBytes(dir, RiffForm("WAVE", {Chunk("fmt ", {1, 2}), Chunk("data", {3, 4})}, 4 + 10));
  ASSERT_EQ(FindRiff(file, &form, "WAVE"), MMSYSERR_NOERROR);
  EXPECT_EQ(FindChunk(file, &chunk, &form, "data"), MMIOERR_CHUNKNOTFOUND);
  mmioClose(file, 0);
  // FINDRIFF skips a RIFF form of another type.
  file = OpenBytes(dir, Concat({RiffForm("AVI ", {Chunk("x   ", {1})}), RiffForm("WAVE", {})}));
  ASSERT_EQ(FindRiff(file, &form, "WAVE"), MMSYSERR_NOERROR);
  EXPECT_EQ(form.dwDataOffset, 12 + 10 + 8);
  mmioClose(file, 0);
}

TEST(Riff, ReadsAroundTheBufferAndSeeksBeyondFourGiB) {
  TempDir dir;
  Bytes content(300000);
  for (std::size_t i = 0; i < content.size(); ++i)
    content[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
  HMMIO file = OpenBytes(dir, content);
  ASSERT_NE(file, nullptr);
  std::vector<std::uint8_t> got(200000);
  ASSERT_EQ(mmioRead(file, got.data(), 7), 7);                // small read fills the buffer
  ASSERT_EQ(mmioRead(file, got.data() + 7, 100000), 100000);  // large read bypasses it
  ASSERT_EQ(mmioRead(file, got.data() + 100007, 5), 5);
  EXPECT_EQ(0, std::memcmp(got.data(), content.data(), 100012));
  EXPECT_EQ(mmioSeek(file, -12, SEEK_CUR), 100000);
  ASSERT_EQ(mmioRead(file, got.data(), 3), 3);
  EXPECT_EQ(0, std::memcmp(got.data(), content.data() + 100000, 3));
  EXPECT_EQ(mmioSeek(file, -1, SEEK_SET), -1);
  EXPECT_EQ(mmioSeek(file, 0, 99), -1);
  EXPECT_EQ(mmioSeek(file, 0, SEEK_END), 300000);
  EXPECT_EQ(mmioRead(file, got.data(), 10), 0);
  EXPECT_EQ(mmioRead(file, got.data(), -1), -1);
  mmioClose(file, 0);

  // Positions past 4 GiB in a sparse file: a write there and a read back through a new handle.
  const std::string sparse = dir.File("sparse");
  MMIOINFO info;
  file = mmioOpen(sparse, &info, MMIO_CREATE | MMIO_READWRITE);
  ASSERT_NE(file, nullptr);
  const std::int64_t far = (std::int64_t{5} << 30) + 3;
  ASSERT_EQ(mmioSeek(file, far, SEEK_SET), far);
  ASSERT_EQ(mmioWrite(file, "far!", 4), 4);
  EXPECT_EQ(mmioSeek(file, 0, SEEK_END), far + 4);
  ASSERT_EQ(mmioSeek(file, far - 2, SEEK_SET), far - 2);
  char back[6] = {};
  ASSERT_EQ(mmioRead(file, back, 6), 6);  // sees its own buffered write
  EXPECT_EQ(std::string(back, 6), std::string("\0\0far!", 6));
  ASSERT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
  file = mmioOpen(sparse, &info, MMIO_READ);
  ASSERT_EQ(mmioSeek(file, far, SEEK_SET), far);
  ASSERT_EQ(mmioRead(file, back, 4), 4);
  EXPECT_EQ(std::string(back, 4), "far!");
  mmioClose(file, 0);
}

TEST(Riff, OpenFailuresCarryTheirErrorNumbers) {
  TempDir dir;
  MMIOINFO info;
  EXPECT_EQ(mmioOpen(dir.File("missing"), &info, MMIO_READ), nullptr);
  EXPECT_EQ(info.wErrorRet, MMIOERR_FILENOTFOUND);
  EXPECT_EQ(mmioOpen(dir.path(), &info, MMIO_READ), nullptr);
  EXPECT_EQ(info.wErrorRet, MMIOERR_INVALIDFILE);
  EXPECT_EQ(mmioOpen(dir.path(), &info, MMIO_CREATE | MMIO_WRITE), nullptr);
  EXPECT_EQ(info.wErrorRet, MMIOERR_INVALIDFILE);
  EXPECT_EQ(mmioOpen("", &info, MMIO_READ), nullptr);
  EXPECT_EQ(info.wErrorRet, MMIOERR_FILENOTFOUND);
  WriteFileBytes(dir.File("plain"), {1});
  EXPECT_EQ(mmioOpen(dir.File("plain") + "/below", &info, MMIO_READ), nullptr);
  EXPECT_EQ(info.wErrorRet, MMIOERR_PATHNOTFOUND);
  EXPECT_EQ(mmioOpen("/dev/null", &info, MMIO_READ), nullptr);
  EXPECT_EQ(info.wErrorRet, MMIOERR_INVALIDFILE);
  HMMIO withoutInfo = mmioOpen(dir.File("plain"), nullptr, MMIO_READ);
  EXPECT_NE(withoutInfo, nullptr);
  mmioClose(withoutInfo, 0);

  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  WriteFileBytes(dir.File("locked"), {1, 2});
  ASSERT_EQ(chmod(dir.File("locked").c_str(), 0), 0);
  EXPECT_TRUE(RunAsUnprivilegedUser([&] {
    MMIOINFO denied;
    return mmioOpen(dir.File("locked"), &denied, MMIO_READ) == nullptr &&
           denied.wErrorRet == MMIOERR_ACCESSDENIED;
  }));

  // Out of file handles.
  rlimit original;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &original), 0);
  rlimit low = original;
  low.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> fds;
  for (int fd; (fd = open("/dev/null", O_RDONLY)) >= 0;) fds.push_back(fd);
  const HMMIO none = mmioOpen(dir.File("plain"), &info, MMIO_READ);
  const MMRESULT code = info.wErrorRet;
  for (int fd : fds) close(fd);
  setrlimit(RLIMIT_NOFILE, &original);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(code, MMIOERR_TOOMANYOPENFILES);
}

TEST(Riff, WritesThroughAReadOnlyHandleFailAndLeaveTheFile) {
  TempDir dir;
  WriteFileBytes(dir.File("r"), {1, 2, 3});
  MMIOINFO info;
  HMMIO reader = mmioOpen(dir.File("r"), &info, MMIO_READ);
  ASSERT_NE(reader, nullptr);
  mmioWrite(reader, "x", 1);  // buffered; fails when the buffer reaches the file
  EXPECT_EQ(mmioClose(reader, 0), MMIOERR_CANNOTWRITE);
  EXPECT_EQ(ReadFileBytes(dir.File("r")), (Bytes{1, 2, 3}));
}

// Room made at the start of a file, by the file system's range insertion (a block) or by copying
// (any other size): the content follows intact, the room reads as zeros, the position moves on.
TEST(Riff, InsertAtStartMovesTheContentUp) {
  TempDir dir;
  Bytes content(3 * 1024 * 1024 + 77);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i / 7);
  for (const std::int64_t room : {4096, 36}) {
    SCOPED_TRACE(room);
    MMIOINFO info;
    HMMIO file = mmioOpen(dir.File("f"), &info, MMIO_CREATE | MMIO_READWRITE);
    ASSERT_EQ(mmioWrite(file, content.data(), static_cast<std::int32_t>(content.size())),
              static_cast<std::int32_t>(content.size()));
    ASSERT_EQ(mmioInsertAtStart(file, room), MMSYSERR_NOERROR);
    ASSERT_EQ(mmioWrite(file, "end", 3), 3);
    ASSERT_EQ(mmioClose(file, 0), MMSYSERR_NOERROR);
    EXPECT_TRUE(ReadFileBytes(dir.File("f")) == Concat({Bytes(room, 0), content, {'e', 'n', 'd'}}));
  }
}
