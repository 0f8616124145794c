#pragma once

#include <windows.h>

#include <array>

#include "config_window/config_form.h"
#include "config_window/window_outcome.h"
#include "ports/config_window.h"

namespace tessarin::win32_platform {

// The configuration window in plain Win32, laid out from the layout table and
// driven by ConfigForm, under the contract of ports::ConfigWindow: the
// message loop runs in RunUntilClosed; closing the window unloads the form,
// whose status ends the loop.
class Win32ConfigWindow : public ports::ConfigWindow, private ConfigView {
 public:
  Win32ConfigWindow(HINSTANCE instance, ports::SettingsBackend& settings,
                    const ports::PathRules& pathRules);

  void Open() override;
  ExitCode RunUntilClosed() override;

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
  WindowOutcome outcome_;
};

}  // namespace tessarin::win32_platform
