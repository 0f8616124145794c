// The metafile module's entry point: nothing escapes it but the result.

#include <exception>

#include "pictures/metafile_module.h"
#include "pictures/metafile/metafile_player.h"

extern "C" __attribute__((visibility("default"))) void TessarinPrepareMetafileFonts() {
  tessarin::metafile::PrepareFonts();
}

extern "C" __attribute__((visibility("default"))) void TessarinRenderMetafile(
    const tessarin::metafile::RenderRequest& request, tessarin::metafile::RenderResult& result) {
  try {
    result.image = tessarin::metafile::RenderMetafile(request);
  } catch (const std::exception& error) {
    result.error = error.what();
  }
}
