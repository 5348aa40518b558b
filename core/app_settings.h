// Where the two settings files live, and the window placement kept in lathe.ini
// (section "WindowState": Max, Left, Top, Right, Bottom, each a decimal integer).
//
// The rectangle is the window's client area (without the window manager's frame) in screen
// coordinates, saved and restored alike; for a maximised window it is the normal rectangle,
// which the window takes again when it is restored down.
#pragma once

#include <QWidget>
#include <string>

struct SettingsPaths {
  std::string settings;         // lathe.ini
  std::string encoderSettings;  // cvtconfig.dat
};

// Both files in the application folder; both empty when there is no application folder.
SettingsPaths ComputeSettingsPaths();

// Gives `window` the saved rectangle when all four edges are present, it has a positive size
// and it reaches onto a screen, then maximises the window when Max is non-zero. A missing or
// unreadable file, or an empty path, leaves the placement as it is.
void RestoreWindowPlacement(QWidget& window, const std::string& iniPath);
// Writes Max (1 for a maximised window, also when it is minimised from there, else 0) and the
// normal rectangle, keeping everything else in the file. Write failures are ignored.
void SaveWindowPlacement(const QWidget& window, const std::string& iniPath);
