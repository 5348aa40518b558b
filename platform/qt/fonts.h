// Maps the face names the program asks for onto fonts this platform has, and gives the
// program's font. Idempotent.
//
// "宋体"/SimSun draws Latin letters and digits in Liberation Sans and Chinese in a Song/Ming
// face (AR PL UMing): the Song faces' own Latin glyphs are a thin typewriter serif that made
// names and numbers look like a fallback font beside the Chinese text. "Arial Narrow" maps to
// Liberation Sans Narrow.
#pragma once

#include <QFont>

namespace platform {
void InstallFontSubstitutions();
// 9-point "宋体": the font of the dialog templates and of the program as a whole.
QFont ProgramFont();
}  // namespace platform
