// Where the two settings files live, and the window placement kept in lathe.ini
// (section "WindowState": Max, Left, Top, Right, Bottom).
#pragma once

#include <QWidget>
#include <string>

struct SettingsPaths {
  std::string settings;         // lathe.ini
  std::string encoderSettings;  // cvtconfig.dat
};

// Both files in the application folder.
SettingsPaths ComputeSettingsPaths();
// The rectangle is the window's client area (without the window manager's frame) in screen
// coordinates, saved and restored alike.
//
// Shows `window` maximised when Max is non-zero; otherwise moves it to the saved rectangle
// when all four edges are greater than 0. A missing file leaves the default placement.
void RestoreWindowPlacement(QWidget& window, const std::string& iniPath);
// Max = 1 for a maximised window (the rectangle keys keep their values), otherwise Max = 0 and
// the rectangle. Write failures are ignored.
void SaveWindowPlacement(const QWidget& window, const std::string& iniPath);
