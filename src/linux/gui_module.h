#pragma once

// The boundary between the executable and the GUI module, a shared library
// loaded with dlopen only when a message box or the window must be shown, so
// that runs which show nothing never load the toolkit. It is plain C: plain
// structs, function pointers with an opaque context, a status and a message
// for failures, and texts as bytes, so that nothing of either side's C++
// (classes, exceptions, the standard library's types) crosses it. Each side
// wraps it for its own code (gui_loader.h here, qt_gui_module.cpp there).

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// What a call into the module gave: `failed` is 0 on success; otherwise
// `message` says why, in text the module keeps until its next call.
typedef struct TessarinGuiStatus {
  int failed;
  const char* message;
} TessarinGuiStatus;

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

// The module's calls, each given back its `context`. A box is numbered as
// TextBox (config_window/config_view.h) counts; a box's text is `size` bytes,
// any bytes, not NUL-terminated.
typedef struct TessarinGui {
  void* context;

  // A modal box with the text, the title, no icon and one OK button; returns
  // once the user has pressed OK or closed it. Both texts end with a NUL.
  TessarinGuiStatus (*showMessage)(void* context, const char* title, const char* text);

  // The configuration window, laid out from the table in config_window/layout.h;
  // hidden until shown.
  TessarinGuiStatus (*createConfigWindow)(void* context, TessarinConfigWindowEvents events,
                                          TessarinConfigWindow** window);
  void (*destroyConfigWindow)(void* context, TessarinConfigWindow* window);
  // `text` stays valid until the next call on the window.
  TessarinGuiStatus (*boxText)(void* context, TessarinConfigWindow* window, int box,
                               const char** text, size_t* size);
  TessarinGuiStatus (*setBoxText)(void* context, TessarinConfigWindow* window, int box,
                                  const char* text, size_t size);
  // Shows the window and gives it the keyboard focus.
  TessarinGuiStatus (*showConfigWindow)(void* context, TessarinConfigWindow* window);
  TessarinGuiStatus (*closeConfigWindow)(void* context, TessarinConfigWindow* window);

  // Runs the toolkit's event loop until quitEventLoop is called; asked before
  // the loop runs, quitEventLoop makes the next run return at once.
  TessarinGuiStatus (*runEventLoop)(void* context);
  void (*quitEventLoop)(void* context);

  // Ends the toolkit; nothing of the module is called after it.
  void (*close)(void* context);
} TessarinGui;

// The module's one exported function, named TESSARIN_OPEN_GUI_SYMBOL: starts
// the toolkit on this process's display and fills `gui`, returning non-zero;
// returns 0, filling nothing, when no display can be reached. Called once per
// process.
typedef int (*TessarinOpenGuiFunction)(TessarinGui* gui);
#define TESSARIN_OPEN_GUI_SYMBOL "tessarin_open_gui"

// The version of this interface, raised whenever a struct or a call above
// changes. The module exports it as tessarin_gui_version, which the program
// reads before it calls anything of the module's: a module of an earlier
// install is refused rather than called through structs it does not know.
#define TESSARIN_GUI_VERSION 1
#define TESSARIN_GUI_VERSION_SYMBOL "tessarin_gui_version"
extern const uint32_t tessarin_gui_version;

#ifdef __cplusplus
}
#endif
