#include "core/app_settings.h"

#include <QGuiApplication>
#include <QScreen>
#include <climits>
#include <cstdint>
#include <optional>

#include "platform/paths.h"
#include "platform/profile.h"

namespace {

constexpr const char* kSection = "WindowState";
// Read for a missing or empty edge: no saved value can be this (it lies off every screen).
constexpr int kMissing = INT_MIN;
// Larger than any screen: a bigger saved size is taken as damage.
constexpr std::int64_t kMaxExtent = 1 << 16;

// The saved rectangle, when the file holds a usable one.
std::optional<QRect> SavedRect(const platform::Profile& ini) {
  const std::int64_t left = ini.GetInt(kSection, "Left", kMissing);
  const std::int64_t top = ini.GetInt(kSection, "Top", kMissing);
  const std::int64_t right = ini.GetInt(kSection, "Right", kMissing);
  const std::int64_t bottom = ini.GetInt(kSection, "Bottom", kMissing);
  if (left == kMissing || top == kMissing || right == kMissing || bottom == kMissing)
    return std::nullopt;
  const std::int64_t width = right - left;
  const std::int64_t height = bottom - top;
  if (width <= 0 || height <= 0 || width > kMaxExtent || height > kMaxExtent) return std::nullopt;
  return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width),
               static_cast<int>(height));
}

// A window placed wholly off every screen (a screen since removed, a minimised window's
// far-away coordinates) could not be reached by the user.
bool ReachesAScreen(const QRect& rect) {
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen->availableGeometry().intersects(rect)) return true;
  return false;
}

void SetInt(platform::Profile& ini, const char* key, int value) {
  ini.Set(kSection, key, std::to_string(value));
}

}  // namespace

SettingsPaths ComputeSettingsPaths() {
  const std::string dir = platform::ApplicationDir();
  if (dir.empty()) return {};
  return {dir + "/lathe.ini", dir + "/cvtconfig.dat"};
}

void RestoreWindowPlacement(QWidget& window, const std::string& iniPath) {
  if (iniPath.empty()) return;
  platform::Profile ini;
  ini.Load(iniPath);
  if (const std::optional<QRect> rect = SavedRect(ini); rect && ReachesAScreen(*rect))
    window.setGeometry(*rect);
  if (ini.GetInt(kSection, "Max", 0) != 0)
    window.setWindowState(window.windowState() | Qt::WindowMaximized);
}

void SaveWindowPlacement(const QWidget& window, const std::string& iniPath) {
  if (iniPath.empty()) return;
  platform::Profile ini;
  ini.Load(iniPath);
  const bool maximised = window.isMaximized();
  SetInt(ini, "Max", maximised ? 1 : 0);
  // The normal rectangle of a maximised window; for any other window (also a minimised one)
  // the place it has, which it keeps while minimised.
  const QRect client = maximised ? window.normalGeometry() : window.geometry();
  if (client.isValid()) {
    SetInt(ini, "Left", client.left());
    SetInt(ini, "Top", client.top());
    SetInt(ini, "Right", client.left() + client.width());
    SetInt(ini, "Bottom", client.top() + client.height());
  }
  ini.Save(iniPath);
}
