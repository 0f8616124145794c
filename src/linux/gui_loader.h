#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config_window/config_view.h"
#include "linux/gui_module.h"

namespace tessarin::linux_platform {

inline constexpr const char* kGuiModuleFileName = "tessarin-gui.so";

// What the configuration window reports to the program. The module calls these
// from its event loop; they must not throw.
class ConfigWindowEvents {
 public:
  virtual ~ConfigWindowEvents() = default;
  virtual void OkPressed() = 0;
  // The window is closing, for whatever reason (OK, close box, Alt+F4).
  virtual void Closed() = 0;
};

// The module's configuration window, as ConfigForm sees it. A call the module
// reports failed throws Failure with the module's words.
class ConfigWindowWidget : public config_window::ConfigView {
 public:
  ConfigWindowWidget(const TessarinGui& gui, TessarinConfigWindow* window)
      : gui_(gui), window_(window) {}
  ConfigWindowWidget(const ConfigWindowWidget&) = delete;
  ConfigWindowWidget& operator=(const ConfigWindowWidget&) = delete;
  ~ConfigWindowWidget() override;

  std::string Text(config_window::TextBox box) const override;
  void SetText(config_window::TextBox box, const std::string& text) override;
  void Close() override;
  // Shows the window and gives it the keyboard focus.
  void Show();

 private:
  const TessarinGui& gui_;
  TessarinConfigWindow* window_;
};

// The started toolkit, over the module's plain C calls (gui_module.h). A call
// the module reports failed throws Failure with the module's words.
class GuiModule {
 public:
  explicit GuiModule(const TessarinGui& gui) : gui_(gui) {}
  GuiModule(const GuiModule&) = delete;
  GuiModule& operator=(const GuiModule&) = delete;
  ~GuiModule();

  // A modal box with the text, the title, no icon and one OK button; returns
  // once the user has pressed OK or closed it.
  void ShowMessage(const std::string& title, const std::string& text);

  // The configuration window, laid out from the table in config_window/layout.h.
  // `events` must outlive it.
  std::unique_ptr<ConfigWindowWidget> CreateConfigWindow(ConfigWindowEvents& events);

  // Runs the toolkit's event loop until QuitEventLoop is called.
  void RunEventLoop();
  void QuitEventLoop();

 private:
  TessarinGui gui_;
};

// Loads the GUI module on first need, once per process. Nothing is loaded
// without a display, and a module that is missing, fails to load or finds no
// display leaves the program on stderr alone.
class GuiLoader {
 public:
  GuiLoader(std::vector<std::filesystem::path> candidates, bool displayPresent)
      : candidates_(std::move(candidates)), displayPresent_(displayPresent) {}

  // The module beside this executable or in ../lib/tessarin, and the display
  // named by DISPLAY or WAYLAND_DISPLAY.
  static GuiLoader ForThisProcess();

  // The started toolkit, or null when there is none to be had.
  GuiModule* Module();

 private:
  std::vector<std::filesystem::path> candidates_;
  bool displayPresent_;
  std::optional<std::unique_ptr<GuiModule>> module_;
};

// Whether the environment names a display: DISPLAY or WAYLAND_DISPLAY set and
// not empty.
bool DisplayNamed();

}  // namespace tessarin::linux_platform
