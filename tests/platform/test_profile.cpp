// INI settings files: how keys are found and read as numbers, and how writing keeps the rest.
#include <gtest/gtest.h>

#include <string>

#include "platform/profile.h"
#include "tests/support/test_files.h"

using platform::Profile;

TEST(Profile, ReadsIntegersTheWayProfileFunctionsDo) {
  struct Case {
    const char* text;
    int expected;  // GetInt("WindowState", "Left", -1)
  };
  const Case cases[] = {
      {"[WindowState]\nLeft=120\n", 120},
      {"[windowstate]\n  LEFT  =  7  \n", 7},  // names without case or blanks
      {"[ WindowState ]\r\nLeft=8\r\n", 8},
      {"[WindowState]\nLeft=\"42\"\n", 42},  // one pair of quotes removed
      {"[WindowState]\nLeft=-32000\n", -32000},
      {"[WindowState]\nLeft=+5\n", 5},
      {"[WindowState]\nLeft=12abc\n", 12},  // the leading digits
      {"[WindowState]\nLeft=abc\n", 0},     // present but not a number
      {"[WindowState]\nLeft=\n", -1},       // empty: the default
      {"[WindowState]\nLeft\n", -1},        // no value at all
      {"[WindowState]\nLeft=99999999999\n", 2147483647},
      {"[WindowState]\nLeft=-99999999999\n", -2147483647 - 1},
      {"[WindowState]\nLeft=1\nLeft=2\n", 1},                   // the first key wins
      {"[WindowState]\nTop=1\n[WindowState]\nLeft=3\n", -1},    // and the first section
      {"Left=4\n[Other]\nLeft=5\n[WindowState]\nTop=6\n", -1},  // keys of other sections
      {"[WindowState\nLeft=9", 9},                              // unclosed header, no newline
      {"", -1},
      {"\xff\xfe[\0garbage=\n=\n[]", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Profile profile;
    profile.Parse(c.text);
    EXPECT_EQ(profile.GetInt("WindowState", "Left", -1), c.expected);
  }
}

TEST(Profile, WritingChangesOnlyTheKeysSet) {
  struct Case {
    const char* before;
    const char* after;  // after Set Max=1, then Left=5
  };
  const Case cases[] = {
      {"", "[WindowState]\nMax=1\nLeft=5\n"},
      {"; comment\n[Other]\nx = 1\n", "; comment\n[Other]\nx = 1\n[WindowState]\nMax=1\nLeft=5\n"},
      // Replaced in place with the key's own spelling; new keys follow the section's last line.
      {"[windowstate]\nLEFT = 3\nTop=4\n\n[Other]\ny=2\n",
       "[windowstate]\nLEFT=5\nTop=4\nMax=1\n\n[Other]\ny=2\n"},
      {"[WindowState]\r\nMax=0\r\n", "[WindowState]\r\nMax=1\r\nLeft=5\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.before);
    Profile profile;
    profile.Parse(c.before);
    profile.Set("WindowState", "Max", "1");
    profile.Set("WindowState", "Left", "5");
    EXPECT_EQ(profile.Text(), c.after);
  }
}

TEST(Profile, SavesAndLoadsFiles) {
  testing_support::TempDir dir;
  const std::string path = dir.File("lathe.ini");
  Profile profile;
  EXPECT_FALSE(profile.Load(path));  // missing: empty
  profile.Set("WindowState", "Max", "0");
  ASSERT_TRUE(profile.Save(path));
  Profile again;
  ASSERT_TRUE(again.Load(path));
  EXPECT_EQ(again.GetInt("WindowState", "Max", -1), 0);
  EXPECT_FALSE(profile.Save(dir.File("missing/lathe.ini")));
}
