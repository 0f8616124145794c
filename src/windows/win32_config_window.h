#pragma once

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "config_window/config_form.h"
#include "config_window/window_outcome.h"
#include "ports/config_window.h"
#include "windows/com_support.h"
#include "windows/win32_path_boxes.h"

namespace tessarin::windows_platform {

// The configuration window in plain Win32, laid out from the layout table and
// driven by ConfigForm, under the contract of ports::ConfigWindow: the
// message loop runs in RunUntilClosed; closing the window unloads the form,
// whose status ends the loop. The three path boxes complete what is typed,
// take a dropped file or folder, browse with the chooser (F4 or their context
// menu) and show their whole text as a tooltip when it does not fit.
class Win32ConfigWindow : public ports::ConfigWindow, private config_window::ConfigView {
 public:
  // Browses with the system's dialogs.
  Win32ConfigWindow(HINSTANCE instance, ports::SettingsBackend& settings,
                    const ports::PathRules& pathRules);
  Win32ConfigWindow(HINSTANCE instance, ports::SettingsBackend& settings,
                    const ports::PathRules& pathRules, PathChooser& chooser);

  void Open() override;
  ExitCode RunUntilClosed() override;

  // The window's caption, and the class its automation finds it by.
  static constexpr const wchar_t* kCaption = L"Tessarin Configuration";
  static constexpr const wchar_t* kClassName = L"TessarinConfig";

 private:
  std::string Text(config_window::TextBox box) const override;
  void SetText(config_window::TextBox box, const std::string& text) override;
  void Close() override;

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK PathBoxProcedure(HWND box, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR which, DWORD_PTR self);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  bool HandlePathBox(config_window::TextBox box, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT EndWithCurrentFailure();
  void CreateControls();
  HWND CreateControl(std::size_t index);
  void EquipPathBoxes();
  void Browse(config_window::TextBox box);
  void Drop(config_window::TextBox box, HDROP drop);
  void ShowBoxMenu(config_window::TextBox box, POINT at);
  void FillTip(NMTTDISPINFOW& tip);
  HWND BoxWindow(config_window::TextBox box) const { return boxes_[static_cast<std::size_t>(box)]; }
  void PaintBackground(HDC dc) const;
  int Scaled(int pixels) const;

  HINSTANCE instance_;
  std::unique_ptr<PathChooser> ownChooser_;
  PathChooser& chooser_;
  config_window::ConfigForm form_;
  // The autocomplete and the dialogs need COM while the window is open.
  std::optional<ComApartment> apartment_;
  HWND window_ = nullptr;
  std::array<HWND, config_window::kTextBoxCount> boxes_{};
  HWND tooltip_ = nullptr;
  std::wstring tipText_;  // the text the tooltip shows, kept while it shows it
  HFONT font_ = nullptr;
  HBITMAP background_ = nullptr;
  int dpi_ = 96;
  config_window::WindowOutcome outcome_;
};

}  // namespace tessarin::windows_platform
