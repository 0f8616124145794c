// The Win32 configuration window in this process, over fake settings: its
// layout, focus order and keys, and ConfigForm's load, OK and close through it.

#include "windows/win32_config_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "base/failure.h"
#include "config_window/layout.h"
#include "support/fake_platform.h"
#include "windows/win32_path_rules.h"
#include "windows/win32_text.h"

namespace tessarin::win32_platform {
namespace {

using testing::FakeSettings;

constexpr int kFirstControlId = 100;

std::size_t IndexOf(std::string_view name) {
  for (std::size_t i = 0; i < layout::kControls.size(); ++i) {
    if (layout::kControls[i].name == name) return i;
  }
  throw std::logic_error("no control " + std::string(name));
}

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

  FakeSettings settings;
  Win32PathRules pathRules;
  Win32ConfigWindow window{GetModuleHandleW(nullptr), settings, pathRules};
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

}  // namespace
}  // namespace tessarin::win32_platform
