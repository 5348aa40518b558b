// Libraries loaded at run time (the outside modules: the MP3 decoder module, the Monkey's
// Audio library).
//
// A name without a slash is looked for beside the executable first, then where the system
// looks for libraries; a path is loaded as given. Handles are never null on success and stay
// valid until FreeLibrary.
#pragma once

#include <string>

namespace platform {

using LibraryHandle = void*;

// Loads the library; null when it cannot be found or loaded (LastLibraryError says why).
LibraryHandle LoadLibrary(const std::string& name);
// Address of the exported symbol `name`; null when the library does not export it.
void* GetProcAddress(LibraryHandle library, const char* name);
// Releases a handle from LoadLibrary; true on success (null is refused).
bool FreeLibrary(LibraryHandle library);
// The running program itself (the classic module instance handed to loaded modules).
LibraryHandle ProgramHandle();
// The loader's text for the last failure on this thread ("" when none).
std::string LastLibraryError();

}  // namespace platform
