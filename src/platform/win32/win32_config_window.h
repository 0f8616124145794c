#pragma once

#include <windows.h>

#include <array>
#include <exception>
#include <optional>

#include "config_window/config_form.h"
#include "platform/config_window.h"

namespace tessarin::win32_platform {

// The configuration window in plain Win32, laid out from the layout table and
// driven by ConfigForm. Open shows it; RunUntilClosed, called once Main has
// returned, runs the message loop. Closing the window unloads the form, which
// ends the program from inside the loop.
class Win32ConfigWindow : public platform::ConfigWindow, private ConfigView {
 public:
  Win32ConfigWindow(HINSTANCE instance, platform::SettingsBackend& settings,
                    platform::Process& process, const platform::Conventions& conventions);

  void Open() override;

  // Returns ExitCode::Done at once when the window was never opened; rethrows
  // a failure that stopped one of its events (a refused settings write).
  ExitCode RunUntilClosed();

  // The window's caption, and the class its automation finds it by.
  static constexpr const wchar_t* kCaption = L"Tessarin Configuration";
  static constexpr const wchar_t* kClassName = L"TessarinConfig";

 private:
  std::string Text(TextBox box) const override;
  void SetText(TextBox box, const std::string& text) override;
  void Close() override;

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  HWND CreateControl(std::size_t index);
  void PaintBackground(HDC dc) const;
  int Scaled(int pixels) const;

  HINSTANCE instance_;
  ConfigForm form_;
  HWND window_ = nullptr;
  std::array<HWND, kTextBoxCount> boxes_{};
  HFONT font_ = nullptr;
  HBITMAP background_ = nullptr;
  int dpi_ = 96;
  std::exception_ptr failure_;
};

}  // namespace tessarin::win32_platform
