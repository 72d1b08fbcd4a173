// libtiff, opened the first time a TIFF is written. Linked at start-up it
// would bring six more libraries (webp, zstd, lzma, Lerc, jbig, deflate) into
// every run, most of which never write a TIFF, and binding their symbols
// costs a headless run about as much as the rest of its start.
#pragma once

#include <string>

#include <tiffio.h>

#include "platform/platform.hpp"

namespace trimbrel {

// The libtiff functions the writer calls.
struct TiffLibrary {
  decltype(&TIFFOpenOptionsAlloc) openOptionsAlloc = nullptr;
  decltype(&TIFFOpenOptionsFree) openOptionsFree = nullptr;
  decltype(&TIFFOpenOptionsSetErrorHandlerExtR) setErrorHandler = nullptr;
  decltype(&TIFFOpenOptionsSetWarningHandlerExtR) setWarningHandler = nullptr;
  decltype(&TIFFClientOpenExt) clientOpen = nullptr;
  decltype(&TIFFSetField) setField = nullptr;
  decltype(&TIFFWriteScanline) writeScanline = nullptr;
  decltype(&TIFFWriteDirectory) writeDirectory = nullptr;
  decltype(&TIFFClose) close = nullptr;
};

// The library by its versioned name, with every function found, or why not.
Result<TiffLibrary> OpenTiffLibrary(const char* soname);

// The one the program was built against, opened once per process; later
// calls give the first answer.
const Result<TiffLibrary>& ProcessTiffLibrary();

}  // namespace trimbrel
