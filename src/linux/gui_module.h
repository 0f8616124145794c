#pragma once

// The boundary between the executable and the GUI module, a shared library
// loaded with dlopen only when a message box or the window must be shown, so
// that runs which show nothing never load the toolkit. It is plain C, called
// by the convention of base/module_boundary.h, so that nothing of either
// side's C++ (classes, exceptions, the standard library's types) crosses it.
// Each side wraps it for its own code (gui_loader.h here, qt_gui_module.cpp
// there).

#include <stddef.h>
#include <stdint.h>

#include "base/module_boundary.h"

#ifdef __cplusplus
extern "C" {
#endif

// What the configuration window reports to the program, called from the
// module's event loop with `context`. Neither may unwind into the module.
typedef struct TessarinConfigWindowEvents {
  void* context;
  void (*okPressed)(void* context);
  // The window is closing, for whatever reason (OK, close box, Alt+F4).
  void (*closed)(void* context);
} TessarinConfigWindowEvents;

// The configuration window as the module draws it; only the module sees inside.
typedef struct TessarinConfigWindow TessarinConfigWindow;

// The module's calls, each given back its `context`; each that returns an
// int is 0 on success, or fails with the reason in `message`. A box is
// numbered as TextBox (config_window/config_view.h) counts; a box's text is
// `size` bytes, any bytes, not NUL-terminated.
typedef struct TessarinGui {
  void* context;

  // A modal box with the text, the title, no icon and one OK button; returns
  // once the user has pressed OK or closed it. Both texts end with a NUL.
  int (*showMessage)(void* context, const char* title, const char* text, char* message,
                     size_t messageSize);

  // The configuration window, laid out from the table in config_window/layout.h;
  // hidden until shown.
  int (*createConfigWindow)(void* context, TessarinConfigWindowEvents events,
                            TessarinConfigWindow** window, char* message, size_t messageSize);
  void (*destroyConfigWindow)(void* context, TessarinConfigWindow* window);
  // `text` stays valid until the next call on the window.
  int (*boxText)(void* context, TessarinConfigWindow* window, int box, const char** text,
                 size_t* size, char* message, size_t messageSize);
  int (*setBoxText)(void* context, TessarinConfigWindow* window, int box, const char* text,
                    size_t size, char* message, size_t messageSize);
  // Shows the window and gives it the keyboard focus.
  int (*showConfigWindow)(void* context, TessarinConfigWindow* window, char* message,
                          size_t messageSize);
  int (*closeConfigWindow)(void* context, TessarinConfigWindow* window, char* message,
                           size_t messageSize);

  // Runs the toolkit's event loop until quitEventLoop is called; asked before
  // the loop runs, quitEventLoop makes the next run return at once.
  int (*runEventLoop)(void* context, char* message, size_t messageSize);
  void (*quitEventLoop)(void* context);

  // Ends the toolkit; nothing of the module is called after it.
  void (*close)(void* context);
} TessarinGui;

// The module's one exported function, named TESSARIN_OPEN_GUI_SYMBOL: starts
// the toolkit on this process's display and fills `gui`; fails, filling
// nothing, when no display can be reached. Called once per process.
typedef int (*TessarinOpenGuiFunction)(TessarinGui* gui, char* message, size_t messageSize);
#define TESSARIN_OPEN_GUI_SYMBOL "tessarin_open_gui"

// The version of this interface, raised whenever a struct or a call above
// changes. The module exports it as tessarin_gui_version, which the program
// reads before it calls anything of the module's: a module of an earlier
// install is refused rather than called through structs it does not know.
#define TESSARIN_GUI_VERSION 2
#define TESSARIN_GUI_VERSION_SYMBOL "tessarin_gui_version"
extern const uint32_t tessarin_gui_version;

#ifdef __cplusplus
}
#endif
