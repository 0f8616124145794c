// The Win32 configuration window in this process, over fake settings: its
// layout, focus order and keys, ConfigForm's load, OK and close through it,
// and what the path boxes add: browse, drop, tooltip, completion, and the
// names Active Accessibility reads.

#include "windows/win32_config_window.h"

#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <shlobj.h>
// clang-format on

#include "base/failure.h"
#include "config_window/layout.h"
#include "support/fake_platform.h"
#include "windows/win32_path_rules.h"
#include "windows/win32_text.h"

namespace tessarin::windows_platform {

namespace layout = config_window::layout;
using config_window::TextBox;
namespace {

using testing::FakeSettings;

constexpr int kFirstControlId = 100;

std::size_t IndexOf(std::string_view name) {
  for (std::size_t i = 0; i < layout::kControls.size(); ++i) {
    if (layout::kControls[i].name == name) return i;
  }
  throw std::logic_error("no control " + std::string(name));
}

// The dialog a person would answer, answering as scripted; what it was asked.
class ScriptedChooser : public PathChooser {
 public:
  std::optional<std::wstring> Choose(HWND, PathKind kind, const DialogStart& start) override {
    asked.push_back({kind, start});
    return answer;
  }
  std::optional<std::wstring> answer;
  std::vector<std::pair<PathKind, DialogStart>> asked;
};

class Win32ConfigWindowTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (HWND left = Window()) DestroyWindow(left);
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  void Open() { window.Open(); }
  HWND Window() const { return FindWindowW(Win32ConfigWindow::kClassName, nullptr); }
  HWND Control(std::string_view name) const {
    return GetDlgItem(Window(), kFirstControlId + static_cast<int>(IndexOf(name)));
  }
  std::string TextOf(std::string_view name) const {
    wchar_t text[256] = {};
    GetWindowTextW(Control(name), text, 256);
    return Narrow(text);
  }
  void Type(std::string_view box, const std::string& text) {
    SetWindowTextW(Control(box), Widen(text).c_str());
  }
  // Runs the message loop to the window's end; the status the run ends with.
  ExitCode RunToTheEnd() {
    const ExitCode status = window.RunUntilClosed();
    EXPECT_EQ(Window(), nullptr) << "the loop ended with the window still there";
    return status;
  }

  // Runs what is queued as the window's loop would.
  void Pump() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (IsDialogMessageW(Window(), &message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  void PressKey(std::string_view box, WPARAM key) {
    PostMessageW(Control(box), WM_KEYDOWN, key, 1);
    Pump();
  }

  FakeSettings settings;
  Win32PathRules pathRules;
  ScriptedChooser chooser;
  Win32ConfigWindow window{GetModuleHandleW(nullptr), settings, pathRules, chooser};
};

TEST_F(Win32ConfigWindowTest, EveryControlSitsWhereTheLayoutPutsIt) {
  Open();
  RECT client{};
  GetClientRect(Window(), &client);
  EXPECT_EQ(client.right, layout::ToPixels(layout::kClientWidth));
  EXPECT_EQ(client.bottom, layout::ToPixels(layout::kClientHeight));
  for (std::size_t i = 0; i < layout::kControls.size(); ++i) {
    const layout::Control& expected = layout::kControls[i];
    HWND control = GetDlgItem(Window(), kFirstControlId + static_cast<int>(i));
    ASSERT_NE(control, nullptr) << expected.name;
    RECT at{};
    GetWindowRect(control, &at);
    MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&at), 2);
    EXPECT_EQ(at.left, layout::ToPixels(expected.left)) << expected.name;
    EXPECT_EQ(at.top, layout::ToPixels(expected.top)) << expected.name;
    EXPECT_EQ(at.right - at.left, layout::ToPixels(expected.width)) << expected.name;
    EXPECT_EQ(at.bottom - at.top, layout::ToPixels(expected.height)) << expected.name;
    if (expected.kind == layout::Kind::Label) {
      EXPECT_EQ(TextOf(expected.name), expected.caption);
      const bool right = (GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_RIGHT;
      EXPECT_EQ(right, expected.alignment == layout::Alignment::Right) << expected.name;
    }
  }
  EXPECT_EQ(TextOf("Command1"), "&OK");
}

TEST_F(Win32ConfigWindowTest, TheButtonIsAPlainPushButtonAndTheIconIs32By32) {
  Open();
  EXPECT_EQ(GetWindowLongW(Control("Command1"), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  wchar_t caption[64] = {};
  GetWindowTextW(Window(), caption, 64);
  EXPECT_EQ(std::wstring(caption), Win32ConfigWindow::kCaption);
  auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(Window(), GCLP_HICON));
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  EXPECT_EQ(bitmap.bmWidth, layout::kIconPixels);
  EXPECT_EQ(bitmap.bmHeight, layout::kIconPixels);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
}

TEST_F(Win32ConfigWindowTest, TheClientAreaIsWhiteWithTheBackgroundPictureDrawn) {
  Open();
  UpdateWindow(Window());
  HDC dc = GetDC(Window());
  // Beyond the picture's width the window is plain white.
  EXPECT_EQ(GetPixel(dc, layout::kBackgroundWidthPixels, 5), RGB(255, 255, 255));
  // The picture's mosaic shows somewhere along its right-hand edge.
  bool coloured = false;
  for (int y = 0; y < layout::kBackgroundHeightPixels && !coloured; y += 3) {
    coloured = GetPixel(dc, layout::kBackgroundWidthPixels - 4, y) != RGB(255, 255, 255);
  }
  ReleaseDC(Window(), dc);
  EXPECT_TRUE(coloured);
}

// Each path label lies above its box (Active Accessibility names the box
// after it) and reaches one row into the box's top edge: after the whole
// window and then each label alone repaint, that row still shows the edge,
// as on a box no label touches.
TEST_F(Win32ConfigWindowTest, APathBoxsTopEdgeShowsThroughTheLabelAboveIt) {
  Open();
  RedrawWindow(Window(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  for (std::string_view label : {"Label1_0", "Label1_1", "Label1_2"})
    RedrawWindow(Control(label), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  HDC dc = GetDC(Window());
  const auto edgeOf = [&](std::string_view box) {
    const layout::Control& control = layout::kControls[IndexOf(box)];
    return GetPixel(dc, layout::ToPixels(control.left) + 8, layout::ToPixels(control.top));
  };
  const COLORREF untouched = edgeOf("Text4");
  for (std::string_view box : {"Text1", "Text2", "Text3"}) EXPECT_EQ(edgeOf(box), untouched) << box;
  ReleaseDC(Window(), dc);
}

TEST_F(Win32ConfigWindowTest, TabVisitsTheBoxesAndTheButtonInTheirOrder) {
  Open();
  const std::vector<std::string_view> expected = {"Text1", "Text2", "Text3", "Command1", "Text4",
                                                  "Text5", "Text6", "Text7", "Text1"};
  HWND at = Control("Text1");
  for (std::size_t i = 1; i < expected.size(); ++i) {
    at = GetNextDlgTabItem(Window(), at, FALSE);
    EXPECT_EQ(at, Control(expected[i])) << "step " << i;
  }
  EXPECT_EQ(GetNextDlgTabItem(Window(), Control("Text1"), TRUE), Control("Text7"));
}

TEST_F(Win32ConfigWindowTest, TheBoxesShowTheSavedValues) {
  settings.Set("OutputFile", "C:\\Walls\\Tapete.bmp");
  settings.Set("InsertDir", "C:\\Bilder\\Grün\\");
  settings.Set("X", "0");
  Open();
  EXPECT_EQ(TextOf("Text1"), "C:\\Walls\\Tapete.bmp");
  EXPECT_EQ(TextOf("Text2"), "");
  EXPECT_EQ(TextOf("Text3"), "C:\\Bilder\\Grün\\");
  EXPECT_EQ(TextOf("Text4"), "0");
}

TEST_F(Win32ConfigWindowTest, OkSavesTheTrimmedValuesAndEndsTheProgram) {
  settings.Set("H", "7");
  Open();
  Type("Text1", " C:\\Walls\\out.bmp ");
  Type("Text3", "C:\\Pics");
  Type("Text4", "  12  ");
  Type("Text6", "   ");
  PostMessageW(Control("Command1"), BM_CLICK, 0, 0);
  EXPECT_EQ(RunToTheEnd(), ExitCode::Done);
  EXPECT_EQ(settings.Get("OutputFile"), "C:\\Walls\\out.bmp");
  EXPECT_EQ(settings.Get("InsertDir"), "C:\\Pics\\");
  EXPECT_EQ(settings.Get("X"), "12");
  EXPECT_EQ(settings.Get("H"), "7");
  EXPECT_EQ(settings.Get("Canvas"), std::nullopt);
}

TEST_F(Win32ConfigWindowTest, AltOPressesOk) {
  Open();
  Type("Text5", "34");
  PostMessageW(Control("Text1"), WM_SYSCHAR, 'o', 1 << 29);
  EXPECT_EQ(RunToTheEnd(), ExitCode::Done);
  EXPECT_EQ(settings.Get("Y"), "34");
}

TEST_F(Win32ConfigWindowTest, EnterAndEscapePressNothingAndClosingSavesNothing) {
  Open();
  Type("Text4", "5");
  for (HWND at : {Control("Text4"), Control("Command1")}) {
    PostMessageW(at, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(at, WM_KEYDOWN, VK_ESCAPE, 0);
  }
  PostMessageW(Window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(RunToTheEnd(), ExitCode::Done);
  EXPECT_TRUE(settings.values.empty());
}

TEST_F(Win32ConfigWindowTest, ARefusedSaveComesOutOfTheLoopAsTheFailure) {
  settings.refuseWrites = true;
  Open();
  Type("Text1", "out.bmp");
  PostMessageW(Control("Command1"), BM_CLICK, 0, 0);
  EXPECT_THROW(window.RunUntilClosed(), Failure);
  EXPECT_FALSE(IsWindowEnabled(Window()));  // no second OK while the failure is shown
}

TEST_F(Win32ConfigWindowTest, NeverOpenedItEndsAtOnce) {
  EXPECT_EQ(window.RunUntilClosed(), ExitCode::Done);
}

// F4 in a path box: its dialog, opened at the folder of the box's path; the
// choice fills the box and OK saves it.
struct BrowseCase {
  std::string_view box;
  const char* key;
  std::string shown;
  PathKind kind;
  std::wstring folder;
  std::wstring fileName;
  std::wstring choice;
  std::string saved;
  friend void PrintTo(const BrowseCase& c, std::ostream* out) {
    *out << c.box << " showing \"" << c.shown << "\"";
  }
};

class Win32PathBoxBrowseTest : public Win32ConfigWindowTest,
                               public ::testing::WithParamInterface<BrowseCase> {};

TEST_P(Win32PathBoxBrowseTest, F4AsksAtTheBoxsFolderAndTheChoiceIsSaved) {
  const BrowseCase& c = GetParam();
  Open();
  Type(c.box, c.shown);
  chooser.answer = c.choice;
  PressKey(c.box, VK_F4);
  ASSERT_EQ(chooser.asked.size(), 1u);
  EXPECT_EQ(chooser.asked[0].first, c.kind);
  EXPECT_EQ(chooser.asked[0].second.folder, c.folder);
  EXPECT_EQ(chooser.asked[0].second.fileName, c.fileName);
  EXPECT_EQ(TextOf(c.box), Narrow(c.choice));
  EXPECT_EQ(GetFocus(), Control(c.box));
  PostMessageW(Control("Command1"), BM_CLICK, 0, 0);
  EXPECT_EQ(RunToTheEnd(), ExitCode::Done);
  EXPECT_EQ(settings.Get(c.key), c.saved);
}

INSTANTIATE_TEST_SUITE_P(
    EachPathBox, Win32PathBoxBrowseTest,
    ::testing::Values(BrowseCase{"Text1", "OutputFile", "C:\\Walls\\old.bmp",
                                 PathKind::OutputBitmap, L"C:\\Walls\\", L"old.bmp",
                                 L"C:\\Walls\\new.bmp", "C:\\Walls\\new.bmp"},
                      BrowseCase{"Text1", "OutputFile", "", PathKind::OutputBitmap, L"", L"",
                                 L"D:\\out.bmp", "D:\\out.bmp"},
                      BrowseCase{"Text2", "Canvas", "  lake.jpg ", PathKind::Picture, L"",
                                 L"lake.jpg", L"C:\\Pics\\Grün.gif", "C:\\Pics\\Grün.gif"},
                      BrowseCase{"Text3", "InsertDir", " C:\\Insets\\ ", PathKind::Folder, L"C:\\",
                                 L"Insets", L"D:\\Other", "D:\\Other\\"},
                      BrowseCase{"Text3", "InsertDir", "C:\\", PathKind::Folder, L"C:\\", L"",
                                 L"D:\\Other", "D:\\Other\\"}));

TEST_F(Win32ConfigWindowTest, CancelLeavesTheBoxAndF4ElsewhereAsksNothing) {
  Open();
  Type("Text2", "C:\\Pics\\keep.jpg");
  PressKey("Text2", VK_F4);
  EXPECT_EQ(chooser.asked.size(), 1u);
  EXPECT_EQ(TextOf("Text2"), "C:\\Pics\\keep.jpg");
  PressKey("Text4", VK_F4);
  PressKey("Command1", VK_F4);
  EXPECT_EQ(chooser.asked.size(), 1u);
}

TEST_F(Win32ConfigWindowTest, TheContextMenusBrowseEntryOpensTheDialog) {
  Open();
  chooser.answer = L"C:\\Insets";
  // Queued for the menu's own loop: B, the entry's access key; Escape ends a
  // menu that has no such entry.
  PostMessageW(Control("Text3"), WM_CHAR, 'b', 1);
  PostMessageW(Control("Text3"), WM_KEYDOWN, VK_ESCAPE, 1);
  SendMessageW(Control("Text3"), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Control("Text3")),
               MAKELPARAM(-1, -1));
  ASSERT_EQ(chooser.asked.size(), 1u);
  EXPECT_EQ(chooser.asked[0].first, PathKind::Folder);
  EXPECT_EQ(TextOf("Text3"), "C:\\Insets");
}

TEST_F(Win32ConfigWindowTest, TheContextMenuKeepsTheEditsOwnItems) {
  Open();
  Type("Text1", "C:\\Walls\\out.bmp");
  PostMessageW(Control("Text1"), WM_CHAR, 'a', 1);  // Select All
  PostMessageW(Control("Text1"), WM_KEYDOWN, VK_ESCAPE, 1);
  SendMessageW(Control("Text1"), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Control("Text1")),
               MAKELPARAM(-1, -1));
  DWORD from = 1;
  DWORD to = 0;
  SendMessageW(Control("Text1"), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
               reinterpret_cast<LPARAM>(&to));
  EXPECT_EQ(from, 0u);
  EXPECT_EQ(to, 16u);  // the whole text
  EXPECT_TRUE(chooser.asked.empty());
}

// A drop as a file manager sends it: a DROPFILES block with wide paths.
HDROP DropOf(const std::vector<std::wstring>& paths) {
  std::size_t characters = 1;
  for (const std::wstring& path : paths) characters += path.size() + 1;
  HGLOBAL memory =
      GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + characters * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  auto* at = reinterpret_cast<wchar_t*>(drop + 1);
  for (const std::wstring& path : paths) at = std::copy(path.begin(), path.end(), at) + 1;
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST_F(Win32ConfigWindowTest, OneDroppedItemFillsAPathBoxSeveralAreRefused) {
  Open();
  Type("Text1", "C:\\Walls\\old.bmp");
  SendMessageW(Control("Text2"), WM_DROPFILES,
               reinterpret_cast<WPARAM>(DropOf({L"C:\\Pics\\Grün.jpg"})), 0);
  SendMessageW(Control("Text3"), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf({L"C:\\Insets"})),
               0);
  SendMessageW(Control("Text1"), WM_DROPFILES,
               reinterpret_cast<WPARAM>(DropOf({L"C:\\a.bmp", L"C:\\b.bmp"})), 0);
  EXPECT_EQ(TextOf("Text2"), "C:\\Pics\\Grün.jpg");
  EXPECT_EQ(TextOf("Text3"), "C:\\Insets");
  EXPECT_EQ(TextOf("Text1"), "C:\\Walls\\old.bmp");
  // A drag from the shell reaches the path boxes only.
  for (std::string_view box : {"Text1", "Text2", "Text3", "Text4"}) {
    const bool accepts = (GetWindowLongW(Control(box), GWL_EXSTYLE) & WS_EX_ACCEPTFILES) != 0;
    EXPECT_EQ(accepts, box != "Text4") << box;
  }
}

HWND TooltipOf(HWND window) {
  HWND tooltip = nullptr;
  while ((tooltip = FindWindowExW(nullptr, tooltip, TOOLTIPS_CLASSW, nullptr)) != nullptr) {
    if (GetWindow(tooltip, GW_OWNER) == window) return tooltip;
  }
  return nullptr;
}

TEST_F(Win32ConfigWindowTest, APathTooLongForItsBoxIsItsTooltip) {
  Open();
  HWND tooltip = TooltipOf(Window());
  ASSERT_NE(tooltip, nullptr);
  EXPECT_EQ(SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 3);
  const std::string longPath = "C:\\Users\\someone\\Pictures\\canvases\\autumn-lake.jpg";
  Type("Text2", longPath);
  Type("Text3", "C:\\In\\");
  for (auto [box, tip] : {std::pair{"Text2", longPath}, std::pair{"Text3", std::string()}}) {
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = Window();
    tool.uId = reinterpret_cast<UINT_PTR>(Control(box));
    ASSERT_TRUE(SendMessageW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool))) << box;
    // What the tooltip asks for before it shows.
    NMTTDISPINFOW ask{};
    ask.hdr = {tooltip, tool.uId, TTN_GETDISPINFOW};
    SendMessageW(Window(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&ask));
    EXPECT_EQ(Narrow(ask.lpszText != nullptr ? ask.lpszText : L"?"), tip) << box;
  }
}

// The shell's autocomplete takes over the box's window procedure (Wine's
// lives in shell32.dll); Wine's file-system list is empty, so what it
// would offer cannot be seen here.
std::wstring ModuleOfProcedure(HWND box) {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(GetWindowLongPtrW(box, GWLP_WNDPROC)), &module);
  wchar_t name[MAX_PATH] = {};
  GetModuleFileNameW(module, name, MAX_PATH);
  const std::wstring path = name;
  return path.substr(path.find_last_of(L'\\') + 1);
}

TEST_F(Win32ConfigWindowTest, TheShellsCompletionIsAttachedToThePathBoxes) {
  Open();
  for (std::string_view box : {"Text1", "Text2", "Text3", "Text4", "Text7"}) {
    const bool attached = _wcsicmp(ModuleOfProcedure(Control(box)).c_str(), L"shell32.dll") == 0;
    EXPECT_EQ(attached, box <= "Text3") << box;
  }
}

// What a screen reader reads through Active Accessibility.
struct Accessible {
  std::wstring name;
  std::wstring shortcut;
};
Accessible AccessibleOf(HWND control) {
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                        reinterpret_cast<void**>(&object)))) {
    return {L"(none)", L""};
  }
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  BSTR shortcut = nullptr;
  object->get_accName(self, &name);
  object->get_accKeyboardShortcut(self, &shortcut);
  Accessible read{name != nullptr ? name : L"", shortcut != nullptr ? shortcut : L""};
  SysFreeString(name);
  SysFreeString(shortcut);
  object->Release();
  return read;
}

TEST_F(Win32ConfigWindowTest, AScreenReaderReadsEachBoxByItsLabelTheButtonAndTheTitle) {
  settings.Set("X", "12");  // a box's content is its value, not its name
  Open();
  const std::vector<std::pair<std::string_view, std::wstring>> names = {
      {"Text1", L"Output/Wallpaper Filename:"},
      {"Text2", L"Canvas Filename:"},
      {"Text3", L"Dir with Insets:"},
      {"Text4", L"X"},
      {"Text5", L"Y"},
      {"Text6", L"Height"},
      {"Text7", L"Width"}};
  for (const auto& [box, name] : names) EXPECT_EQ(AccessibleOf(Control(box)).name, name) << box;
  const Accessible button = AccessibleOf(Control("Command1"));
  EXPECT_EQ(button.name, L"OK");
  EXPECT_EQ(button.shortcut, L"Alt+O");
  EXPECT_EQ(AccessibleOf(Window()).name, Win32ConfigWindow::kCaption);
}

}  // namespace
}  // namespace tessarin::windows_platform
