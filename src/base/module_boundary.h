#pragma once

// How the program and its run-time modules (the GUI module, linux/gui_module.h;
// the metafile module, pictures/metafile_module.h) call each other, both ways
// alike:
// - Every symbol a module exports is named tessarin_<words>, in snake case.
// - A module exports its interface version as the uint32_t
//   tessarin_<module>_version; the program reads it before it calls or fills
//   anything of the module's, and refuses a module of another version
//   (linux_platform::LoadedModule::VersionMismatch).
// - A call that can fail returns an int: TESSARIN_MODULE_OK (0) on success,
//   TESSARIN_MODULE_FAILED (nonzero) on failure.
// - Why it failed goes into a buffer the caller passes with its size: the
//   callee writes NUL-terminated text, cut to fit (tessarin_write_message),
//   and keeps nothing of it. TESSARIN_MODULE_MESSAGE_BYTES is room for any.
// - No exception and no C++ type crosses: plain structs, function pointers
//   with a context, texts as bytes.

#include <stddef.h>
#include <stdio.h>

#define TESSARIN_MODULE_OK 0
#define TESSARIN_MODULE_FAILED 1
#define TESSARIN_MODULE_MESSAGE_BYTES 1024

// Puts `text` in a caller's message buffer, cut to fit and terminated.
static inline void tessarin_write_message(const char* text, char* message, size_t messageSize) {
  if (messageSize > 0) snprintf(message, messageSize, "%s", text);
}
