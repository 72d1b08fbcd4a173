#include "imaging/tiff_library.hpp"

#include <dlfcn.h>

namespace trimbrel {

namespace {

template <class Fn>
bool Find(void* handle, const char* name, Fn& fn, std::string& missing) {
  void* symbol = ::dlsym(handle, name);
  if (symbol == nullptr) {
    if (!missing.empty()) missing += ", ";
    missing += name;
    return false;
  }
  fn = reinterpret_cast<Fn>(symbol);
  return true;
}

}  // namespace

Result<TiffLibrary> OpenTiffLibrary(const char* soname) {
  // Kept open for the rest of the process: writers on any thread may use it.
  void* handle = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    return Fail(std::string("TIFF needs ") + soname + ", which cannot be loaded" + (why ? std::string(": ") + why : ""));
  }
  TiffLibrary lib;
  std::string missing;
  Find(handle, "TIFFOpenOptionsAlloc", lib.openOptionsAlloc, missing);
  Find(handle, "TIFFOpenOptionsFree", lib.openOptionsFree, missing);
  Find(handle, "TIFFOpenOptionsSetErrorHandlerExtR", lib.setErrorHandler, missing);
  Find(handle, "TIFFOpenOptionsSetWarningHandlerExtR", lib.setWarningHandler, missing);
  Find(handle, "TIFFClientOpenExt", lib.clientOpen, missing);
  Find(handle, "TIFFSetField", lib.setField, missing);
  Find(handle, "TIFFWriteScanline", lib.writeScanline, missing);
  Find(handle, "TIFFWriteDirectory", lib.writeDirectory, missing);
  Find(handle, "TIFFClose", lib.close, missing);
  if (!missing.empty()) {
    ::dlclose(handle);
    return Fail(std::string("TIFF needs ") + soname + " with " + missing + ", which it lacks");
  }
  return lib;
}

const Result<TiffLibrary>& ProcessTiffLibrary() {
  static const Result<TiffLibrary> library = OpenTiffLibrary(TRIMBREL_TIFF_SONAME);
  return library;
}

}  // namespace trimbrel
