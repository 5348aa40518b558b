// Texts of the main window: title, menus, toolbar tips, status-bar prototypes, open dialog.
#pragma once

namespace texts {

inline constexpr const char kAppTitle[] = "Wavelathe";

inline constexpr const char kMenuFile[] = "文件(&F)";
inline constexpr const char kMenuPlay[] = "播放(&P)";
inline constexpr const char kMenuEdit[] = "编辑(&E)";
inline constexpr const char kMenuView[] = "视图(&V)";
inline constexpr const char kMenuConfigure[] = "配置(&H)";
inline constexpr const char kMenuHelp[] = "帮助(&H)";

inline constexpr const char kCmdOpen[] = "打开音乐(&O) ...\tF2";
inline constexpr const char kCmdSplit[] = "立即分割(&C) ...\tF5";
inline constexpr const char kCmdExit[] = "退出(&X)";
inline constexpr const char kCmdMoveBegin[] = "移到开头(&B)";
inline constexpr const char kCmdMoveEnd[] = "移到结尾(&E)";
inline constexpr const char kCmdPlay[] = "播放(&L)";
inline constexpr const char kCmdPause[] = "暂停(&A)";
inline constexpr const char kCmdStop[] = "停止(&S)";
inline constexpr const char kCmdMoveSegStart[] = "移到片段开头(&S)";
inline constexpr const char kCmdMoveSegEnd[] = "移到片段结尾(&E)";
inline constexpr const char kCmdPlaySeg[] = "播放片段(&Y)";
inline constexpr const char kCmdMarkStart[] = "标记为片段开头(&B)";
inline constexpr const char kCmdMarkEnd[] = "标记为片段结尾(&E)";
inline constexpr const char kCmdMarkAll[] = "标记全部(&A)";
inline constexpr const char kCmdZoomIn[] = "放大(&I)";
inline constexpr const char kCmdZoomOut[] = "缩小(&O)";
inline constexpr const char kCmdBestFit[] = "最适合(&B)";
inline constexpr const char kCmdEditSegStart[] = "编辑片段开始位置(&T)";
inline constexpr const char kCmdEditSegEnd[] = "编辑片段结束位置(&D)";
inline constexpr const char kCmdEditCursor[] = "编辑当前位置(&C)";
inline constexpr const char kCmdConfigMp3[] = "&MP3 编码 ...";
inline constexpr const char kCmdConfigOgg[] = "&OGG 编码 ...";
inline constexpr const char kCmdConfigApe[] = "&APE 编码 ...";
inline constexpr const char kCmdAbout[] = "关于(&A) Wavelathe...";

// Toolbar tooltips, buttons 1–16.
inline constexpr const char* kToolTips[16] = {
    "打开文件",       "移到开头",       "播放",     "暂停",         "停止",     "移到结尾",
    "标记为片段开头", "标记为片段结尾", "标记全部", "移到片段开头", "播放片断", "移到片断结尾",
    "放大",           "缩小",           "最适合",   "立即分割"};

// Status-bar panes are sized from these prototypes.
inline constexpr const char kPaneMousePrototype[] = "鼠标位置: 00:00:00.000";
inline constexpr const char kPaneCursorPrototype[] = "CurPos: 00:00:00.000";
inline constexpr const char kPaneFormatPrototype[] = "44100:16:立体声";
inline constexpr const char kPaneLengthPrototype[] = "AllLen: 00:00:00.000";
inline constexpr const char kFormatMono[] = "%1:%2:单音";
inline constexpr const char kFormatStereo[] = "%1:%2:立体声";

inline constexpr const char kFilterAllMusic[] = "所有支持的音乐文件";
inline constexpr const char kFilterFileSuffix[] = " 文件";
inline constexpr const char kFilterAllFiles[] = "所有文件";

inline constexpr const char kAboutCaption[] = "关于 Wavelathe";
inline constexpr const char kAboutVersion[] = "版本 2.0.0.1";
inline constexpr const char kOk[] = "确定";

}  // namespace texts
