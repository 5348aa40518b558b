#include "tests/support/wav_copy.h"

#include <gtest/gtest.h>

#include <chrono>

#include "codecs/wav/wav_music.h"
#include "tests/support/queue_target.h"

namespace testing_support {

void CopyWavFrames(const std::string& source, const MusicInfo& info, const std::string& out,
                   std::int64_t start, std::int64_t count) {
  QueueTarget window;
  WavMusic reader(source);
  reader.info = info;
  WavMusic writer(out);
  writer.info = info;
  writer.progressWindow = &window;
  ASSERT_TRUE(writer.InitWriter());
  ASSERT_TRUE(reader.ConvertRange(&writer, start, count, -1, -1));
  ASSERT_TRUE(window.WaitFor(WM_MUSIC_DONE, std::chrono::minutes(2)).has_value());
  EXPECT_FALSE(writer.writeFailed.load());
}

}  // namespace testing_support
