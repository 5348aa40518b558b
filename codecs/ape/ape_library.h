// The APE library (MACDll.so, the C interface of modules/macdll/mac_dll.h) bound by name at
// run time. Each object loads and binds it for itself on its first Bind; once bound, the
// library stays loaded for the rest of the process (the handle is never released).
#pragma once

#include "modules/macdll/mac_dll.h"

class ApeLibrary {
 public:
  // Loads the library and binds its ten decompress and compress functions, once. False, with
  // nothing left loaded and nothing reported, when the library is missing, does not answer 0
  // to the compatibility check for interface 3990, or lacks one of the functions; a later call
  // tries again.
  bool Bind();

  ApeDecompressCreateFn decompressCreate = nullptr;
  ApeDecompressDestroyFn decompressDestroy = nullptr;
  ApeDecompressGetDataFn decompressGetData = nullptr;
  ApeDecompressSeekFn decompressSeek = nullptr;
  ApeDecompressGetInfoFn decompressGetInfo = nullptr;
  ApeCompressCreateFn compressCreate = nullptr;
  ApeCompressDestroyFn compressDestroy = nullptr;
  ApeCompressStartFn compressStart = nullptr;
  ApeCompressAddDataFn compressAddData = nullptr;
  ApeCompressFinishFn compressFinish = nullptr;

 private:
  bool bound_ = false;
};
