// Command identifiers of the menus, the toolbar and the view's context menu.
#pragma once

namespace cmd {

constexpr int kOpen = 32772;
constexpr int kSplit = 32775;
constexpr int kMoveBegin = 32776;
constexpr int kMoveEnd = 32777;
constexpr int kPlay = 32778;
constexpr int kPause = 32779;
constexpr int kStop = 32780;
constexpr int kMarkStart = 32781;
constexpr int kMarkEnd = 32782;
constexpr int kMarkAll = 32783;
constexpr int kMoveSegStart = 32784;
constexpr int kMoveSegEnd = 32785;
constexpr int kPlaySeg = 32786;
constexpr int kZoomIn = 32787;
constexpr int kZoomOut = 32788;
constexpr int kBestFit = 32789;
constexpr int kEditSegStart = 32808;
constexpr int kEditSegEnd = 32809;
constexpr int kEditCursor = 32810;
constexpr int kConfigMp3 = 32811;
constexpr int kConfigOgg = 32812;
constexpr int kConfigApe = 32813;
constexpr int kExit = 57665;
constexpr int kAbout = 57664;

// The view's context menu sends 32790…32804; each stands for one of the commands above.
constexpr int kContextFirst = 32790;
constexpr int kContextLast = 32804;
// Toolbar buttons send 1…16.
constexpr int kToolbarCount = 16;

// The command a context-menu or toolbar id stands for (other ids are returned unchanged).
int Canonical(int id);
// The toolbar image of a command (its button's index 0–15), or -1 for a command without one.
int ToolbarImage(int id);

}  // namespace cmd
