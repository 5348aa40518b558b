// lathe.ini: which saved placements a window takes at start, and what closing writes (read back
// with Qt's own INI reader).
#include <gtest/gtest.h>

#include <QSettings>
#include <QWidget>
#include <cstdlib>
#include <fstream>

#include "core/app_settings.h"
#include "tests/support/test_files.h"

using testing_support::TempDir;

void PrintTo(const QRect& r, std::ostream* out) {
  *out << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}

namespace {

const QRect kDefault(30, 40, 300, 200);

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
  const std::vector<std::uint8_t> bytes = testing_support::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(AppSettings, RestoreTakesUsableRectanglesOnly) {
  struct Case {
    const char* file;
    QRect geometry;  // after the restore; the normal rectangle when maximised
    bool maximised;
  };
  const Case cases[] = {
      {"[WindowState]\nMax=0\nLeft=120\nTop=140\nRight=620\nBottom=440\n",
       QRect(120, 140, 500, 300), false},
      // At the screen's left and top edges.
      {"[WindowState]\nLeft=0\nTop=0\nRight=400\nBottom=300\n", QRect(0, 0, 400, 300), false},
      // Maximised: the normal rectangle is kept for restoring down.
      {"[WindowState]\nMax=1\nLeft=50\nTop=60\nRight=450\nBottom=360\n", QRect(50, 60, 400, 300),
       true},
      {"[WindowState]\nMax=1\n", kDefault, true},
      {"", kDefault, false},
      {"[WindowState]\nLeft=50\nTop=60\nRight=450\n", kDefault, false},  // an edge missing
      {"[WindowState]\nLeft=50\nTop=60\nRight=50\nBottom=360\n", kDefault, false},  // no width
      {"[WindowState]\nLeft=-32000\nTop=-32000\nRight=-31840\nBottom=-31973\n", kDefault,
       false},  // minimised on another system: off every screen
      {"[WindowState]\nLeft=-2147483647\nTop=0\nRight=2147483647\nBottom=10\n", kDefault, false},
  };
  TempDir dir;
  const std::string ini = dir.File("lathe.ini");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    WriteText(ini, c.file);
    QWidget window;
    window.setGeometry(kDefault);
    RestoreWindowPlacement(window, ini);
    EXPECT_EQ(window.isMaximized(), c.maximised);
    EXPECT_EQ(window.normalGeometry(), c.geometry);
  }
  QWidget untouched;
  untouched.setGeometry(kDefault);
  RestoreWindowPlacement(untouched, dir.File("missing.ini"));
  RestoreWindowPlacement(untouched, "");
  EXPECT_EQ(untouched.geometry(), kDefault);
}

TEST(AppSettings, SaveWritesStateAndNormalRectangleKeepingTheRest) {
  TempDir dir;
  const std::string ini = dir.File("lathe.ini");
  WriteText(ini, "; kept\n[Other]\nx=1\n");
  QWidget window;
  window.setGeometry(120, 140, 500, 300);
  SaveWindowPlacement(window, ini);
  EXPECT_EQ(ReadText(ini),
            "; kept\n[Other]\nx=1\n[WindowState]\nMax=0\nLeft=120\nTop=140\nRight=620\n"
            "Bottom=440\n");

  window.setWindowState(Qt::WindowMaximized);
  SaveWindowPlacement(window, ini);
  QSettings saved(QString::fromStdString(ini), QSettings::IniFormat);
  EXPECT_EQ(saved.value(QStringLiteral("WindowState/Max")).toInt(), 1);
  EXPECT_EQ(saved.value(QStringLiteral("WindowState/Left")).toInt(), 120);
  EXPECT_EQ(saved.value(QStringLiteral("WindowState/Bottom")).toInt(), 440);
  EXPECT_EQ(saved.value(QStringLiteral("Other/x")).toInt(), 1);

  SaveWindowPlacement(window, dir.File("missing/lathe.ini"));  // ignored
  SaveWindowPlacement(window, "");
}
