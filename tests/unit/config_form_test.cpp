#include "config_window/config_form.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "support/window_fakes.h"

namespace tessarin::config_window {
namespace {

using testing::FakePathRules;
using testing::RecordingSettings;

// Seven boxes; closing the window unloads the form, as a real window does.
class FakeView : public ConfigView {
 public:
  std::string Text(TextBox box) const override { return boxes[Index(box)]; }
  void SetText(TextBox box, const std::string& text) override { boxes[Index(box)] = text; }
  void Close() override {
    ++closes;
    if (form != nullptr) unloads.push_back(form->Unload());
  }
  static std::size_t Index(TextBox box) { return static_cast<std::size_t>(box); }

  std::array<std::string, kTextBoxCount> boxes;
  int closes = 0;
  std::vector<ExitCode> unloads;  // the statuses the form's unload gave
  ConfigForm* form = nullptr;
};

class ConfigFormTest : public ::testing::Test {
 protected:
  explicit ConfigFormTest(char separator = '/') {
    pathRules.separator = separator;
    view.form = &form;
  }

  // Presses OK; the status the window's close gave, which OK causes.
  ExitCode PressOk() {
    form.OkPressed();
    EXPECT_EQ(view.unloads.size(), 1u) << "OK did not close the window";
    return view.unloads.empty() ? ExitCode::FailureStop : view.unloads.back();
  }
  void Type(TextBox box, const std::string& text) { view.SetText(box, text); }

  RecordingSettings settings;
  FakePathRules pathRules;
  FakeView view;
  ConfigForm form{settings, pathRules, view};
};

TEST_F(ConfigFormTest, LoadFillsEachBoxFromItsKey) {
  const std::vector<std::pair<std::string, std::string>> saved = {{"OutputFile", "/o/w.bmp"},
                                                                  {"Canvas", "/c.bmp"},
                                                                  {"InsertDir", "/pics/"},
                                                                  {"X", "0"},
                                                                  {"Y", "20"},
                                                                  {"H", "30"},
                                                                  {"W", "40"}};
  for (const auto& [key, value] : saved) settings.Set(key, value);
  view.boxes.fill("stale");
  form.Load();
  EXPECT_EQ(view.boxes,
            (std::array<std::string, 7>{"/o/w.bmp", "/c.bmp", "/pics/", "0", "20", "30", "40"}));
  EXPECT_TRUE(settings.writes.empty());
}

TEST_F(ConfigFormTest, LoadLeavesBoxesOfMissingKeysEmpty) {
  settings.Set("Y", "5");
  view.boxes.fill("stale");
  form.Load();
  EXPECT_EQ(view.boxes, (std::array<std::string, 7>{"", "", "", "", "5", "", ""}));
}

TEST_F(ConfigFormTest, OkSavesEveryBoxTrimmedInOrderThenClosesAndEnds) {
  view.boxes = {" /o/w.bmp", "/c.bmp ", "/pics/", "  12  ",
                "0",         "30",      "40"};  // only Text3 gains "/"
  EXPECT_EQ(PressOk(), ExitCode::Done);
  EXPECT_EQ(settings.writes,
            (std::vector<std::string>{"OutputFile", "Canvas", "InsertDir", "X", "Y", "H", "W"}));
  EXPECT_EQ(settings.Get("OutputFile"), "/o/w.bmp");
  EXPECT_EQ(settings.Get("Canvas"), "/c.bmp");
  EXPECT_EQ(settings.Get("X"), "12");
  EXPECT_EQ(settings.Get("Y"), "0");
  EXPECT_EQ(view.closes, 1);
}

TEST_F(ConfigFormTest, OkTrimsOnlySpacesAndSavesAnyTextAsTyped) {
  Type(TextBox::X, "\t7 x\t");
  Type(TextBox::Y, " a b ");
  PressOk();
  EXPECT_EQ(settings.Get("X"), "\t7 x\t");
  EXPECT_EQ(settings.Get("Y"), "a b");
}

TEST_F(ConfigFormTest, BlankBoxKeepsTheStoredValueAndAFreshKeyStaysMissing) {
  settings.Set("Canvas", "/old.bmp");
  Type(TextBox::Canvas, "    ");
  Type(TextBox::OutputFile, "   ");
  Type(TextBox::Width, "8");
  PressOk();
  EXPECT_EQ(settings.Get("Canvas"), "/old.bmp");
  EXPECT_EQ(settings.Get("OutputFile"), std::nullopt);
  EXPECT_EQ(settings.writes, (std::vector<std::string>{"W"}));
}

TEST_F(ConfigFormTest, InsetFolderGainsItsSeparatorInTheBoxAndTheStore) {
  Type(TextBox::InsetFolder, "  /home/u/Pics ");
  PressOk();
  EXPECT_EQ(settings.Get("InsertDir"), "/home/u/Pics/");
  EXPECT_EQ(view.Text(TextBox::InsetFolder), "/home/u/Pics/");
}

TEST_F(ConfigFormTest, InsetFolderWithItsSeparatorIsKeptAsItIs) {
  Type(TextBox::InsetFolder, " /home/u/Pics/ ");
  PressOk();
  EXPECT_EQ(settings.Get("InsertDir"), "/home/u/Pics/");
  EXPECT_EQ(view.Text(TextBox::InsetFolder), " /home/u/Pics/ ");
}

TEST_F(ConfigFormTest, UnloadEndsTheRunAndSavesNothing) {
  view.boxes.fill("typed but not saved");
  EXPECT_EQ(form.Unload(), ExitCode::Done);
  EXPECT_TRUE(settings.writes.empty());
}

class FrmConfigOnWindowsTest : public ConfigFormTest {
 protected:
  FrmConfigOnWindowsTest() : ConfigFormTest('\\') {}
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
}  // namespace tessarin::config_window
