// UI automation for the end-to-end tests under Wine: finds Tessarin's message
// box or configuration window, reports what it shows and operates it.
//
//   ui_driver message [SECONDS]   waits for the box titled Tessarin (class
//                                 "#32770"), prints its title, text (CR and LF
//                                 as \r and \n), buttons and whether it has an
//                                 icon, then presses OK
//   ui_driver window-get          prints the configuration window's seven boxes
//                                 and its client area's size
//   ui_driver window-set T1..T7   sets the seven boxes' texts
//   ui_driver window-ok           presses the window's OK button
//   ui_driver window-close        closes the window as its close box does
//   ui_driver wallpaper           prints the wallpaper the desktop shows
//                                 (SystemParametersInfoW, SPI_GETDESKWALLPAPER)
//   ui_driver hold FILE SECONDS   keeps FILE open without delete sharing, as a
//                                 running program holds its own .exe; prints
//                                 "held" once it does
//
// Each waits up to 30 seconds (or SECONDS) for its window; exit status 0 on
// success.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

int waitMilliseconds = 30000;
constexpr int kPollMilliseconds = 50;

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length,
                      nullptr, nullptr);
  return utf8;
}

// Raw bytes to stdout, without the C runtime's line-end translation.
void Print(const std::string& line) {
  const std::string withEnd = line + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), withEnd.data(), static_cast<DWORD>(withEnd.size()),
            &written, nullptr);
}

std::string Escaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\r')
      escaped += "\\r";
    else if (c == '\n')
      escaped += "\\n";
    else
      escaped += c;
  }
  return escaped;
}

std::wstring TextOf(HWND window) {
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                                      reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// The children in z-order, which is their order of creation.
std::vector<HWND> ChildrenOf(HWND parent, const wchar_t* className) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (_wcsicmp(ClassOf(child).c_str(), className) == 0) children.push_back(child);
  }
  return children;
}

HWND WaitFor(const wchar_t* className, const wchar_t* title) {
  for (int waited = 0; waited < waitMilliseconds; waited += kPollMilliseconds) {
    HWND window = FindWindowW(className, title);
    if (window != nullptr && IsWindowVisible(window)) return window;
    Sleep(kPollMilliseconds);
  }
  std::fprintf(stderr, "ui_driver: no window of class %ls titled %ls\n", className,
               title != nullptr ? title : L"(any)");
  return nullptr;
}

int HandleMessageBox() {
  HWND box = WaitFor(L"#32770", L"Tessarin");
  if (box == nullptr) return 1;
  Print("title=" + Utf8(TextOf(box)));
  std::string text, buttons, icon = "none";
  HWND ok = nullptr;
  for (HWND child : ChildrenOf(box, L"Static")) {
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      // The box keeps its icon control even without an icon: ask what it shows.
      if (IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0) != 0) icon = "present";
    } else if (text.empty()) {
      text = Utf8(TextOf(child));
    }
  }
  for (HWND button : ChildrenOf(box, L"Button")) {
    if (!IsWindowVisible(button)) continue;
    if (!buttons.empty()) buttons += ",";
    buttons += Utf8(TextOf(button));
    if (GetDlgCtrlID(button) == IDOK) ok = button;
  }
  Print("text=" + Escaped(text));
  Print("buttons=" + buttons);
  Print("icon=" + icon);
  if (ok == nullptr) return 1;
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  return 0;
}

HWND ConfigWindow() { return WaitFor(L"TessarinConfig", nullptr); }

int GetBoxes() {
  HWND window = ConfigWindow();
  if (window == nullptr) return 1;
  const std::vector<HWND> boxes = ChildrenOf(window, L"Edit");
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    Print("box" + std::to_string(i + 1) + "=" + Utf8(TextOf(boxes[i])));
  }
  RECT client{};
  GetClientRect(window, &client);
  Print("client=" + std::to_string(client.right) + "x" + std::to_string(client.bottom));
  return boxes.size() == 7 ? 0 : 1;
}

int SetBoxes(int count, wchar_t** texts) {
  HWND window = ConfigWindow();
  if (window == nullptr) return 1;
  const std::vector<HWND> boxes = ChildrenOf(window, L"Edit");
  if (boxes.size() != 7 || count != 7) return 1;
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    SendMessageW(boxes[i], WM_SETTEXT, 0, reinterpret_cast<LPARAM>(texts[i]));
  }
  return 0;
}

int PressOk() {
  HWND window = ConfigWindow();
  if (window == nullptr) return 1;
  for (HWND button : ChildrenOf(window, L"Button")) {
    if (TextOf(button) == L"&OK") {
      PostMessageW(button, BM_CLICK, 0, 0);
      return 0;
    }
  }
  return 1;
}

int CloseWindow() {
  HWND window = ConfigWindow();
  if (window == nullptr) return 1;
  PostMessageW(window, WM_CLOSE, 0, 0);
  return 0;
}

int PrintWallpaper() {
  wchar_t shown[MAX_PATH] = {};
  if (!SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, shown, 0)) return 1;
  Print("wallpaper=" + Utf8(shown));
  return 0;
}

int HoldFile(const wchar_t* path, int seconds) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  Print("held");
  Sleep(static_cast<DWORD>(seconds) * 1000);
  CloseHandle(file);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"message") {
    if (argc > 2) waitMilliseconds = _wtoi(argv[2]) * 1000;
    return HandleMessageBox();
  }
  if (command == L"window-get") return GetBoxes();
  if (command == L"window-set") return SetBoxes(argc - 2, argv + 2);
  if (command == L"window-ok") return PressOk();
  if (command == L"window-close") return CloseWindow();
  if (command == L"wallpaper") return PrintWallpaper();
  if (command == L"hold" && argc == 4) return HoldFile(argv[2], _wtoi(argv[3]));
  std::fprintf(
      stderr,
      "usage: ui_driver message | window-get | window-set T1..T7 | window-ok | window-close"
      " | wallpaper | hold FILE SECONDS\n");
  return 2;
}
