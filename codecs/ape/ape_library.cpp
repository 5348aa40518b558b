#include "codecs/ape/ape_library.h"

#include "platform/dynlib.h"

namespace {

template <typename Fn>
bool Find(platform::LibraryHandle library, const char* name, Fn* out) {
  *out = reinterpret_cast<Fn>(platform::GetProcAddress(library, name));
  return *out != nullptr;
}

}  // namespace

bool ApeLibrary::Bind() {
  if (bound_) return true;
  platform::LibraryHandle library = platform::LoadLibrary(MACDLL_FILE_NAME);
  if (library == nullptr) return false;
  GetInterfaceCompatibilityFn compatibility = nullptr;
  bound_ = Find(library, "GetInterfaceCompatibility", &compatibility) &&
           compatibility(MACDLL_INTERFACE_VERSION, 1, nullptr) == 0 &&
           Find(library, "c_APEDecompress_Create", &decompressCreate) &&
           Find(library, "c_APEDecompress_Destroy", &decompressDestroy) &&
           Find(library, "c_APEDecompress_GetData", &decompressGetData) &&
           Find(library, "c_APEDecompress_Seek", &decompressSeek) &&
           Find(library, "c_APEDecompress_GetInfo", &decompressGetInfo) &&
           Find(library, "c_APECompress_Create", &compressCreate) &&
           Find(library, "c_APECompress_Destroy", &compressDestroy) &&
           Find(library, "c_APECompress_Start", &compressStart) &&
           Find(library, "c_APECompress_AddData", &compressAddData) &&
           Find(library, "c_APECompress_Finish", &compressFinish);
  if (!bound_) {
    *this = ApeLibrary{};
    platform::FreeLibrary(library);
  }
  return bound_;
}
