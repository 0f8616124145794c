// The path boxes' pieces on their own: where a dialog starts, and the
// system's own dialogs under Wine, answered from another thread as a person
// answers them.

#include "windows/win32_path_boxes.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <thread>

#include "text/ascii_text.h"
#include "windows/win32_text.h"
#include "windows/windows_temporary_folder.h"

namespace tessarin::windows_platform {
namespace {

using testing::WindowsTemporaryFolder;

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (!IsWindowVisible(window) || std::wstring_view(name) != L"#32770") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Clicks the button of the first dialog the thread shows; a dialog still up
// five seconds later (a question nobody expected) is cancelled, so that a
// failing test ends.
class DialogAnswer {
 public:
  DialogAnswer(DWORD dialogThread, int button)
      : thread_([this, dialogThread, button] {
          for (int waited = 0; !done_ && waited < 10'000; waited += 50) {
            HWND dialog = nullptr;
            EnumThreadWindows(dialogThread, FindDialog, reinterpret_cast<LPARAM>(&dialog));
            if (dialog != nullptr && !clicked_) {
              PostMessageW(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
              clicked_ = true;
            } else if (dialog != nullptr && waited > 5'000) {
              PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            }
            Sleep(50);
          }
        }) {}
  ~DialogAnswer() {
    done_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> done_ = false;
  bool clicked_ = false;
  std::thread thread_;
};

struct ChooseCase {
  PathKind kind;
  std::string folderInside;  // the start folder, under the temporary one
  std::string fileName;      // the suggested name; a file of that name is there
  int button;
  std::string chosen;  // under the temporary folder; empty for none
  friend void PrintTo(const ChooseCase& c, std::ostream* out) {
    *out << static_cast<int>(c.kind) << " " << c.folderInside << "\\" << c.fileName;
  }
};

class ShellPathChooserTest : public ::testing::TestWithParam<ChooseCase> {};

// OK takes what the dialog was opened on: the file name in the folder, the
// folder itself, an existing bitmap to save over without a question.
TEST_P(ShellPathChooserTest, TheDialogOpensAtTheStartAndOkTakesItsChoice) {
  const ChooseCase& c = GetParam();
  WindowsTemporaryFolder temporary;
  CreateDirectoryW(Widen(temporary / "insets").c_str(), nullptr);
  CloseHandle(CreateFileW(Widen(temporary / "lake.jpg").c_str(), GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, 0, nullptr));
  CloseHandle(CreateFileW(Widen(temporary / "old.bmp").c_str(), GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, 0, nullptr));
  const DialogStart start{Widen(temporary / c.folderInside), Widen(c.fileName)};
  std::optional<std::wstring> chosen;
  {
    const DialogAnswer answer(GetCurrentThreadId(), c.button);
    chosen = ShellPathChooser().Choose(nullptr, c.kind, start);
  }
  if (c.chosen.empty()) {
    EXPECT_EQ(chosen, std::nullopt);
  } else {
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(text::AsciiLower(Narrow(*chosen)), text::AsciiLower(temporary / c.chosen));
  }
}

INSTANTIATE_TEST_SUITE_P(
    EachKind, ShellPathChooserTest,
    ::testing::Values(ChooseCase{PathKind::Picture, "", "lake.jpg", IDOK, "lake.jpg"},
                      ChooseCase{PathKind::OutputBitmap, "", "old.bmp", IDOK, "old.bmp"},
                      ChooseCase{PathKind::Folder, "", "insets", IDOK, "insets"},
                      ChooseCase{PathKind::Picture, "", "lake.jpg", IDCANCEL, ""}));

}  // namespace
}  // namespace tessarin::windows_platform
