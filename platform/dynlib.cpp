#include "platform/dynlib.h"

#include <dlfcn.h>
#include <unistd.h>

#include "platform/paths.h"

namespace platform {

namespace {

thread_local std::string lastError;

void KeepLoaderError() {
  const char* text = dlerror();
  lastError = text != nullptr ? text : "";
}

}  // namespace

LibraryHandle LoadLibrary(const std::string& name) {
  lastError.clear();
  if (name.empty()) return nullptr;
  // A library present beside the executable is the one meant, even when it fails to load.
  std::string path = name;
  const std::string dir = ExecutableDir();
  if (name.find('/') == std::string::npos && !dir.empty() &&
      access((dir + "/" + name).c_str(), F_OK) == 0)
    path = dir + "/" + name;
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) KeepLoaderError();
  return library;
}

void* GetProcAddress(LibraryHandle library, const char* name) {
  lastError.clear();
  if (library == nullptr || name == nullptr) return nullptr;
  dlerror();
  void* symbol = dlsym(library, name);
  if (symbol == nullptr) KeepLoaderError();
  return symbol;
}

bool FreeLibrary(LibraryHandle library) {
  lastError.clear();
  if (library == nullptr) return false;
  if (dlclose(library) == 0) return true;
  KeepLoaderError();
  return false;
}

LibraryHandle ProgramHandle() {
  static void* const program = dlopen(nullptr, RTLD_NOW);
  return program;
}

std::string LastLibraryError() { return lastError; }

}  // namespace platform
