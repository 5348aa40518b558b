#include "core/app_settings.h"

#include <QSettings>

#include "platform/paths.h"

namespace {

constexpr const char* kSection = "WindowState";

int ReadInt(QSettings& ini, const char* key, int fallback) {
  bool ok = false;
  const int value = ini.value(QString::fromLatin1(key)).toInt(&ok);
  return ok ? value : fallback;
}

}  // namespace

SettingsPaths ComputeSettingsPaths() {
  const std::string dir = platform::ApplicationDir();
  return {dir + "/lathe.ini", dir + "/cvtconfig.dat"};
}

void RestoreWindowPlacement(QWidget& window, const std::string& iniPath) {
  QSettings ini(QString::fromStdString(iniPath), QSettings::IniFormat);
  ini.beginGroup(QString::fromLatin1(kSection));
  if (ReadInt(ini, "Max", 0) != 0) {
    window.setWindowState(window.windowState() | Qt::WindowMaximized);
    return;
  }
  const int left = ReadInt(ini, "Left", -1);
  const int top = ReadInt(ini, "Top", -1);
  const int right = ReadInt(ini, "Right", -1);
  const int bottom = ReadInt(ini, "Bottom", -1);
  if (left > 0 && top > 0 && right > 0 && bottom > 0)
    window.setGeometry(left, top, right - left, bottom - top);
}

void SaveWindowPlacement(const QWidget& window, const std::string& iniPath) {
  QSettings ini(QString::fromStdString(iniPath), QSettings::IniFormat);
  ini.beginGroup(QString::fromLatin1(kSection));
  if (window.isMaximized()) {
    ini.setValue(QStringLiteral("Max"), 1);
    return;
  }
  // The client area, as RestoreWindowPlacement sets it: the window manager's frame lies
  // around it, so saving the frame would grow the window by the frame at every start.
  const QRect client = window.geometry();
  ini.setValue(QStringLiteral("Max"), 0);
  ini.setValue(QStringLiteral("Left"), client.left());
  ini.setValue(QStringLiteral("Top"), client.top());
  ini.setValue(QStringLiteral("Right"), client.left() + client.width());
  ini.setValue(QStringLiteral("Bottom"), client.top() + client.height());
}
