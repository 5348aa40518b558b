// Maps the face names the program asks for onto fonts this platform has: "宋体"/SimSun to a
// Song/Ming CJK face, "Arial Narrow" to Liberation Sans Narrow. Idempotent.
#pragma once

namespace platform {
void InstallFontSubstitutions();
}
