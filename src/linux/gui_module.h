#pragma once

#include <memory>
#include <string>

#include "config_window/config_view.h"

// The boundary between the executable and the GUI module, a shared library
// loaded with dlopen only when a message box or the window must be shown, so
// that runs which show nothing never load the toolkit. Both sides are built
// together from this header by the same compiler.
namespace tessarin::linux_platform {

// What the configuration window reports to the program. The module calls these
// from its event loop; they must not throw.
class ConfigWindowEvents {
 public:
  virtual ~ConfigWindowEvents() = default;
  virtual void OkPressed() = 0;
  // The window is closing, for whatever reason (OK, close box, Alt+F4).
  virtual void Closed() = 0;
};

// The configuration window as the module draws it.
class ConfigWindowWidget : public ConfigView {
 public:
  // Shows the window and gives it the keyboard focus.
  virtual void Show() = 0;
};

class GuiModule {
 public:
  virtual ~GuiModule() = default;

  // A modal box with the text, the title, no icon and one OK button; returns
  // once the user has pressed OK or closed it.
  virtual void ShowMessage(const std::string& title, const std::string& text) = 0;

  // The configuration window, laid out from the table in config_window/layout.h.
  virtual std::unique_ptr<ConfigWindowWidget> CreateConfigWindow(ConfigWindowEvents& events) = 0;

  // Runs the toolkit's event loop until QuitEventLoop is called.
  virtual void RunEventLoop() = 0;
  virtual void QuitEventLoop() = 0;
};

// The module's one exported function: the toolkit started on this process's
// display, or null when no display can be reached. Called once per process.
using CreateGuiModuleFunction = GuiModule* (*)();
inline constexpr const char* kCreateGuiModuleSymbol = "tessarin_create_gui_module";
inline constexpr const char* kGuiModuleFileName = "tessarin-gui.so";

}  // namespace tessarin::linux_platform
