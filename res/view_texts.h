// Texts of the waveform view, its context menu and the peak dialog (UTF-8).
#pragma once

namespace texts {

// Status panes.
inline constexpr const char kMousePosPrefix[] = "鼠标位置: ";
inline constexpr const char kCursorPosPrefix[] = "当前位置: ";
inline constexpr const char kLengthPrefix[] = "长度: ";

// Level panel.
inline constexpr const char kLevelMax[] = "MAX";
inline constexpr const char kLevelZero[] = "0";

// Peak dialog caption (replaces the template's "正载入 ...").
inline constexpr const char kCalcBufCaption[] = "正缓冲 ...";

// Context menu of the view (menu resource 129, first submenu).
inline constexpr const char kCtxMenuMoveToStart[] = "移到开头(&B)";
inline constexpr const char kCtxMenuMoveToEnd[] = "移到结尾(&E)";
inline constexpr const char kCtxMenuPlay[] = "播放(&P)";
inline constexpr const char kCtxMenuPause[] = "暂停(&A)";
inline constexpr const char kCtxMenuStop[] = "停止(&S)";
inline constexpr const char kCtxMenuMarkStart[] = "标记为片段开头(&G)";
inline constexpr const char kCtxMenuMarkEnd[] = "标记为片段结尾(&D)";
inline constexpr const char kCtxMenuMarkAll[] = "标记全部(&L)";
inline constexpr const char kCtxMenuMoveToSegStart[] = "移到片段开头(&M)";
inline constexpr const char kCtxMenuMoveToSegEnd[] = "移到片段结尾(&T)";
inline constexpr const char kCtxMenuPlaySegment[] = "播放片段(&Y)";
inline constexpr const char kCtxMenuZoomIn[] = "放大(&I)";
inline constexpr const char kCtxMenuZoomOut[] = "缩小(&O)";
inline constexpr const char kCtxMenuBestFit[] = "最适合(&T)";
inline constexpr const char kCtxMenuSplitNow[] = "立即分割(&C) ...";

// Time entry dialog (template 136).
inline constexpr const char kEditTimeTemplateCaption[] = "对话框";
inline constexpr const char* kEditTimeCaptions[3] = {"编辑当前位置", "编辑片断开头",
                                                     "编辑片断结尾"};
inline constexpr const char* kEditTimeNotNumber[4] = {"小时必须为数字！", "分钟必须为数字！",
                                                      "秒必须为数字！", "毫秒必须为数字！"};
inline constexpr const char kEditTimeOk[] = "确定";
inline constexpr const char kEditTimeCancel[] = "取消";

}  // namespace texts
