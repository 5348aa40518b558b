#include "core/command_ids.h"

namespace cmd {
namespace {

// Order of the toolbar buttons 1…16.
constexpr int kToolbarCommands[kToolbarCount] = {
    kOpen,    kMoveBegin,    kPlay,    kPause,      kStop,   kMoveEnd, kMarkStart, kMarkEnd,
    kMarkAll, kMoveSegStart, kPlaySeg, kMoveSegEnd, kZoomIn, kZoomOut, kBestFit,   kSplit};

// Order of the context-menu ids 32790…32804.
constexpr int kContextCommands[kContextLast - kContextFirst + 1] = {
    kMoveBegin,    kMoveEnd,    kPlay,    kPause,  kStop,    kMarkStart, kMarkEnd, kMarkAll,
    kMoveSegStart, kMoveSegEnd, kPlaySeg, kZoomIn, kZoomOut, kBestFit,   kSplit};

}  // namespace

int Canonical(int id) {
  if (id >= 1 && id <= kToolbarCount) return kToolbarCommands[id - 1];
  if (id >= kContextFirst && id <= kContextLast) return kContextCommands[id - kContextFirst];
  return id;
}

int ToolbarImage(int id) {
  for (int i = 0; i < kToolbarCount; ++i)
    if (kToolbarCommands[i] == id) return i;
  return -1;
}

}  // namespace cmd
