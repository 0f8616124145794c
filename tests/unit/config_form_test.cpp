#include "config_window/config_form.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "support/window_fakes.h"

namespace tessarin {
namespace {

using testing::FakeConventions;
using testing::RecordingSettings;
using testing::ProgramEnded;
using testing::FakeProcess;

// Seven boxes; closing the window unloads the form, as a real window does.
class FakeView : public ConfigView {
 public:
  std::string Text(TextBox box) const override { return boxes[Index(box)]; }
  void SetText(TextBox box, const std::string& text) override { boxes[Index(box)] = text; }
  void Close() override {
    ++closes;
    if (form != nullptr) form->Unload();
  }
  static std::size_t Index(TextBox box) { return static_cast<std::size_t>(box); }

  std::array<std::string, kTextBoxCount> boxes;
  int closes = 0;
  ConfigForm* form = nullptr;
};

class FrmConfigTest : public ::testing::Test {
 protected:
  explicit FrmConfigTest(char separator = '/') {
    conventions.separator = separator;
    view.form = &form;
  }

  // Runs the event and returns the status the program ended with.
  template <typename Event>
  ExitCode EndedBy(Event event) {
    try {
      (form.*event)();
    } catch (const ProgramEnded& ended) {
      return ended.status;
    }
    ADD_FAILURE() << "the program did not end";
    return ExitCode::FailureStop;
  }
  ExitCode PressOk() { return EndedBy(&ConfigForm::OkPressed); }
  void Type(TextBox box, const std::string& text) { view.SetText(box, text); }

  RecordingSettings settings;
  FakeProcess process;
  FakeConventions conventions;
  FakeView view;
  ConfigForm form{settings, process, conventions, view};
};

TEST_F(FrmConfigTest, LoadFillsEachBoxFromItsKey) {
  const std::vector<std::pair<std::string, std::string>> saved = {
      {"OutputFile", "/o/w.bmp"}, {"Canvas", "/c.bmp"}, {"InsertDir", "/pics/"},
      {"X", "0"}, {"Y", "20"}, {"H", "30"}, {"W", "40"}};
  for (const auto& [key, value] : saved) settings.Set(key, value);
  view.boxes.fill("stale");
  form.Load();
  EXPECT_EQ(view.boxes, (std::array<std::string, 7>{"/o/w.bmp", "/c.bmp", "/pics/", "0", "20",
                                                     "30", "40"}));
  EXPECT_TRUE(settings.writes.empty());
}

TEST_F(FrmConfigTest, LoadLeavesBoxesOfMissingKeysEmpty) {
  settings.Set("Y", "5");
  view.boxes.fill("stale");
  form.Load();
  EXPECT_EQ(view.boxes, (std::array<std::string, 7>{"", "", "", "", "5", "", ""}));
}

TEST_F(FrmConfigTest, OkSavesEveryBoxTrimmedInOrderThenClosesAndEnds) {
  view.boxes = {" /o/w.bmp", "/c.bmp ", "/pics/", "  12  ", "0", "30", "40"};  // only Text3 gains "/"
  EXPECT_EQ(PressOk(), ExitCode::Done);
  EXPECT_EQ(settings.writes,
            (std::vector<std::string>{"OutputFile", "Canvas", "InsertDir", "X", "Y", "H", "W"}));
  EXPECT_EQ(settings.Get("OutputFile"), "/o/w.bmp");
  EXPECT_EQ(settings.Get("Canvas"), "/c.bmp");
  EXPECT_EQ(settings.Get("X"), "12");
  EXPECT_EQ(settings.Get("Y"), "0");
  EXPECT_EQ(view.closes, 1);
}

TEST_F(FrmConfigTest, OkTrimsOnlySpacesAndSavesAnyTextAsTyped) {
  Type(TextBox::X, "\t7 x\t");
  Type(TextBox::Y, " a b ");
  PressOk();
  EXPECT_EQ(settings.Get("X"), "\t7 x\t");
  EXPECT_EQ(settings.Get("Y"), "a b");
}

TEST_F(FrmConfigTest, BlankBoxKeepsTheStoredValueAndAFreshKeyStaysMissing) {
  settings.Set("Canvas", "/old.bmp");
  Type(TextBox::Canvas, "    ");
  Type(TextBox::OutputFile, "   ");
  Type(TextBox::Width, "8");
  PressOk();
  EXPECT_EQ(settings.Get("Canvas"), "/old.bmp");
  EXPECT_EQ(settings.Get("OutputFile"), std::nullopt);
  EXPECT_EQ(settings.writes, (std::vector<std::string>{"W"}));
}

TEST_F(FrmConfigTest, InsetFolderGainsItsSeparatorInTheBoxAndTheStore) {
  Type(TextBox::InsetFolder, "  /home/u/Pics ");
  PressOk();
  EXPECT_EQ(settings.Get("InsertDir"), "/home/u/Pics/");
  EXPECT_EQ(view.Text(TextBox::InsetFolder), "/home/u/Pics/");
}

TEST_F(FrmConfigTest, InsetFolderWithItsSeparatorIsKeptAsItIs) {
  Type(TextBox::InsetFolder, " /home/u/Pics/ ");
  PressOk();
  EXPECT_EQ(settings.Get("InsertDir"), "/home/u/Pics/");
  EXPECT_EQ(view.Text(TextBox::InsetFolder), " /home/u/Pics/ ");
}

TEST_F(FrmConfigTest, UnloadEndsTheProgramAndSavesNothing) {
  view.boxes.fill("typed but not saved");
  EXPECT_EQ(EndedBy(&ConfigForm::Unload), ExitCode::Done);
  EXPECT_TRUE(settings.writes.empty());
}

class FrmConfigOnWindowsTest : public FrmConfigTest {
 protected:
  FrmConfigOnWindowsTest() : FrmConfigTest('\\') {}
};

TEST_F(FrmConfigOnWindowsTest, InsetFolderGainsABackslash) {
  Type(TextBox::InsetFolder, "C:\\Pics");
  PressOk();
  EXPECT_EQ(settings.Get("InsertDir"), "C:\\Pics\\");
  EXPECT_EQ(view.Text(TextBox::InsetFolder), "C:\\Pics\\");
}

TEST_F(FrmConfigOnWindowsTest, InsetFolderEndingInBackslashIsUnchanged) {
  Type(TextBox::InsetFolder, "C:\\Pics\\");
  PressOk();
  EXPECT_EQ(settings.Get("InsertDir"), "C:\\Pics\\");
}

}  // namespace
}  // namespace tessarin
