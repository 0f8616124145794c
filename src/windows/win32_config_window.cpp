#include "windows/win32_config_window.h"

#include <shellapi.h>
#include <windowsx.h>

#include "base/failure.h"
#include "config_window/layout.h"
#include "windows/resource_ids.h"
#include "windows/win32_text.h"

namespace tessarin::windows_platform {

namespace layout = config_window::layout;
using config_window::TextBox;
namespace {

// Control identifiers stay clear of IDOK and IDCANCEL, which IsDialogMessage
// sends for Enter and Escape: neither key presses anything here.
constexpr int kFirstControlId = 100;

int ControlId(std::size_t index) { return kFirstControlId + static_cast<int>(index); }

std::size_t IndexOfControl(const layout::Control* control) {
  return static_cast<std::size_t>(control - layout::kControls.data());
}

// The label that names a box stands just before it in the table.
std::optional<std::size_t> LabelOfBox(std::size_t box) {
  if (box > 0 && layout::kControls[box - 1].kind == layout::Kind::Label) return box - 1;
  return std::nullopt;
}

std::size_t IndexOfButton() {
  for (std::size_t i = 0; i < layout::kControls.size(); ++i) {
    if (layout::kControls[i].kind == layout::Kind::Button) return i;
  }
  return 0;
}

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD extendedStyle;
};

ControlClass ClassOf(const layout::Control& control) {
  switch (control.kind) {
    case layout::Kind::Label: {
      // A short label sits below the box to its left, which covers the part
      // it overlaps. A path label sits above its box and reaches one row
      // into the box's edge, where it draws nothing: it paints no background.
      const DWORD alignment = control.alignment == layout::Alignment::Right ? SS_RIGHT : SS_LEFT;
      return {L"STATIC", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_NOPREFIX | alignment, 0};
    }
    case layout::Kind::TextBox:
      return {L"EDIT", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case layout::Kind::Button:
      break;
  }
  // A plain push button, not the default one.
  return {L"BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0};
}

HFONT CreateMessageFont() {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return nullptr;
  return CreateFontIndirectW(&metrics.lfMessageFont);
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

Win32ConfigWindow::Win32ConfigWindow(HINSTANCE instance, ports::SettingsBackend& settings,
                                     const ports::PathRules& pathRules)
    : instance_(instance),
      ownChooser_(std::make_unique<ShellPathChooser>()),
      chooser_(*ownChooser_),
      form_(settings, pathRules, *this) {}

Win32ConfigWindow::Win32ConfigWindow(HINSTANCE instance, ports::SettingsBackend& settings,
                                     const ports::PathRules& pathRules, PathChooser& chooser)
    : instance_(instance), chooser_(chooser), form_(settings, pathRules, *this) {}

int Win32ConfigWindow::Scaled(int pixels) const { return MulDiv(pixels, dpi_, 96); }

void Win32ConfigWindow::Open() {
  dpi_ = ScreenDpi();
  apartment_.emplace();
  const INITCOMMONCONTROLSEX tooltips = {sizeof(INITCOMMONCONTROLSEX), ICC_TAB_CLASSES};
  InitCommonControlsEx(&tooltips);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = instance_;
  windowClass.hIcon = static_cast<HICON>(
      LoadImageW(instance_, MAKEINTRESOURCEW(TESSARIN_ICON), IMAGE_ICON, 32, 32, 0));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(TESSARIN_ICON),
                                                      IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), 0));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);
  background_ = static_cast<HBITMAP>(LoadImageW(instance_, MAKEINTRESOURCEW(TESSARIN_BACKGROUND),
                                                IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  font_ = CreateMessageFont();

  RECT frame = {0, 0, Scaled(layout::ToPixels(layout::kClientWidth)),
                Scaled(layout::ToPixels(layout::kClientHeight))};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  window_ = CreateWindowExW(0, kClassName, kCaption, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                            frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                            instance_, this);
  if (window_ == nullptr)
    throw Failure(FailureKind::Platform,
                  "cannot create the configuration window: " + ErrorText(GetLastError()));
  CreateControls();
  EquipPathBoxes();
  form_.Load();
  ShowWindow(window_, SW_SHOWNORMAL);
  SetForegroundWindow(window_);
  SetFocus(boxes_[static_cast<std::size_t>(TextBox::OutputFile)]);
}

// Tab follows the order of creation among the controls that take the focus:
// the focus order, each box just after its label, since Active Accessibility
// names an edit after the label just before it; then the other label. A
// short label that reaches under the box to its left comes after that box,
// which covers it.
void Win32ConfigWindow::CreateControls() {
  std::array<bool, layout::kControls.size()> created{};
  for (const layout::Control* control : layout::FocusOrder()) {
    const std::size_t index = IndexOfControl(control);
    if (const std::optional<std::size_t> label = LabelOfBox(index); label && control->box) {
      CreateControl(*label);
      created[*label] = true;
    }
    HWND made = CreateControl(index);
    created[index] = true;
    if (control->box) boxes_[static_cast<std::size_t>(*control->box)] = made;
  }
  for (std::size_t i = 0; i < layout::kControls.size(); ++i) {
    if (!created[i]) CreateControl(i);
  }
}

// Drop, Browse and the tooltip on the path boxes; the completion last, so
// that it sees each key first.
void Win32ConfigWindow::EquipPathBoxes() {
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr, instance_, nullptr);
  if (tooltip_ == nullptr)
    throw Failure(FailureKind::Platform,
                  "cannot create the configuration window: " + ErrorText(GetLastError()));
  // A long path wraps within the width of the screen's half.
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN) / 2);
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    const auto box = static_cast<TextBox>(i);
    const std::optional<PathKind> kind = PathKindOf(box);
    if (!kind) continue;
    HWND control = boxes_[i];
    DragAcceptFiles(control, TRUE);
    SetWindowSubclass(control, PathBoxProcedure, i, reinterpret_cast<DWORD_PTR>(this));
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;  // what every version of the control takes
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    AttachCompletion(control, *kind);
  }
}

HWND Win32ConfigWindow::CreateControl(std::size_t index) {
  const layout::Control& control = layout::kControls[index];
  const ControlClass kind = ClassOf(control);
  HWND created = CreateWindowExW(
      kind.extendedStyle, kind.name, Widen(control.caption).c_str(), kind.style,
      Scaled(layout::ToPixels(control.left)), Scaled(layout::ToPixels(control.top)),
      Scaled(layout::ToPixels(control.width)), Scaled(layout::ToPixels(control.height)), window_,
      reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(ControlId(index))), instance_, nullptr);
  if (created == nullptr)
    throw Failure(FailureKind::Platform,
                  "cannot create the configuration window: " + ErrorText(GetLastError()));
  if (font_ != nullptr) SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  // No length limit beyond the control's own maximum.
  if (control.kind == layout::Kind::TextBox) SendMessageW(created, EM_SETLIMITTEXT, 0, 0);
  return created;
}

ExitCode Win32ConfigWindow::RunUntilClosed() {
  if (window_ == nullptr) return ExitCode::Done;
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab, Shift+Tab and Alt+O, as in a dialog.
    if (IsDialogMessageW(window_, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // Nothing more is taken from the window while a failure is shown.
  if (outcome_.Failed()) EnableWindow(window_, FALSE);
  return outcome_.Result();
}

std::string Win32ConfigWindow::Text(TextBox box) const {
  return Narrow(WindowText(BoxWindow(box)));
}

void Win32ConfigWindow::SetText(TextBox box, const std::string& text) {
  SetWindowTextW(BoxWindow(box), Widen(text).c_str());
}

// The choice replaces the box's text; Cancel leaves it.
void Win32ConfigWindow::Browse(TextBox box) {
  const PathKind kind = *PathKindOf(box);
  const std::optional<std::wstring> chosen =
      chooser_.Choose(window_, kind, DialogStartOf(kind, Text(box)));
  if (chosen) SetWindowTextW(BoxWindow(box), chosen->c_str());
  SetFocus(BoxWindow(box));
}

// One file or folder fills the box; several are refused with the warning
// sound, the box unchanged.
void Win32ConfigWindow::Drop(TextBox box, HDROP drop) {
  const std::optional<std::wstring> path = TakeSingleDroppedPath(drop);
  if (!path) {
    MessageBeep(MB_ICONWARNING);
    return;
  }
  SetWindowTextW(BoxWindow(box), path->c_str());
}

void Win32ConfigWindow::ShowBoxMenu(TextBox box, POINT at) {
  HWND control = BoxWindow(box);
  SetFocus(control);
  const UINT command = TrackBoxMenu(control, at);
  if (command == kBrowseCommand) {
    Browse(box);
  } else if (command != 0) {
    RunEditCommand(control, command);
  }
}

// The whole text when the box cuts it off; none (no tooltip) when it fits.
void Win32ConfigWindow::FillTip(NMTTDISPINFOW& tip) {
  HWND box = reinterpret_cast<HWND>(tip.hdr.idFrom);
  tipText_ = TextOverflows(box) ? WindowText(box) : std::wstring();
  tip.lpszText = tipText_.data();
}

void Win32ConfigWindow::Close() { DestroyWindow(window_); }

void Win32ConfigWindow::PaintBackground(HDC dc) const {
  RECT client{};
  GetClientRect(window_, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  if (background_ == nullptr) return;
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ previous = SelectObject(source, background_);
  SetStretchBltMode(dc, HALFTONE);
  StretchBlt(dc, 0, 0, Scaled(layout::kBackgroundWidthPixels),
             Scaled(layout::kBackgroundHeightPixels), source, 0, 0, layout::kBackgroundWidthPixels,
             layout::kBackgroundHeightPixels, SRCCOPY);
  SelectObject(source, previous);
  DeleteDC(source);
}

LRESULT CALLBACK Win32ConfigWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32ConfigWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || self->window_ == nullptr)
    return DefWindowProcW(window, message, wParam, lParam);
  // No exception may cross the system's code: a failure ends the loop and is
  // rethrown from RunUntilClosed.
  try {
    return self->Handle(message, wParam, lParam);
  } catch (...) {
    return self->EndWithCurrentFailure();
  }
}

LRESULT Win32ConfigWindow::EndWithCurrentFailure() {
  outcome_.FailWithCurrentException();
  PostQuitMessage(1);
  return 0;
}

LRESULT CALLBACK Win32ConfigWindow::PathBoxProcedure(HWND box, UINT message, WPARAM wParam,
                                                     LPARAM lParam, UINT_PTR which,
                                                     DWORD_PTR self) {
  auto* window = reinterpret_cast<Win32ConfigWindow*>(self);
  if (message == WM_NCDESTROY) RemoveWindowSubclass(box, PathBoxProcedure, which);
  try {
    if (window->HandlePathBox(static_cast<TextBox>(which), message, wParam, lParam)) return 0;
  } catch (...) {
    return window->EndWithCurrentFailure();
  }
  return DefSubclassProc(box, message, wParam, lParam);
}

// True when the message was handled here rather than by the edit.
bool Win32ConfigWindow::HandlePathBox(TextBox box, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DROPFILES:
      Drop(box, reinterpret_cast<HDROP>(wParam));
      return true;
    case WM_CONTEXTMENU:
      ShowBoxMenu(box, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return true;
    case WM_KEYDOWN:
      if (wParam != VK_F4) return false;
      Browse(box);
      return true;
    default:
      return false;
  }
}

LRESULT Win32ConfigWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      PaintBackground(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_CTLCOLORSTATIC:
      // Labels show the window's picture through.
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->hwndFrom == tooltip_ && header->code == TTN_GETDISPINFOW)
        FillTip(*reinterpret_cast<NMTTDISPINFOW*>(lParam));
      return 0;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == ControlId(IndexOfButton()) && HIWORD(wParam) == BN_CLICKED) {
        form_.OkPressed();
      }
      return 0;
    case WM_DESTROY:
      // The form's status ends the loop; the run ends outside it.
      outcome_.End(form_.Unload());
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window_, message, wParam, lParam);
  }
}

}  // namespace tessarin::windows_platform
