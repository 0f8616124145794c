#include "linux/gui_loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/failure.h"
#include "linux/linux_config_window.h"
#include "linux/linux_messages.h"
#include "linux/loaded_module.h"
#include "linux/stale_modules.h"
#include "linux/stderr_messages.h"
#include "support/captured_stderr.h"
#include "support/temporary_folder.h"
#include "support/window_fakes.h"

namespace tessarin::linux_platform {
namespace {

namespace fs = std::filesystem;
using testing::FakePathRules;
using testing::RecordingSettings;

TEST(ModuleCandidates, BesideTheExecutableThenInItsLibFolder) {
  EXPECT_EQ(
      ModuleCandidates("/opt/t/bin/tessarin", kGuiModuleFileName),
      (std::vector<fs::path>{"/opt/t/bin/tessarin-gui.so", "/opt/t/lib/tessarin/tessarin-gui.so"}));
}

TEST(LoadedModule, FindsExportedFunctionsOrSaysWhyItDidNotLoad) {
  const LoadedModule libc("libc.so.6");
  std::size_t (*length)(const char*) = nullptr;
  ASSERT_TRUE(libc.Find("strlen", length));
  EXPECT_EQ(length("four"), 4u);
  EXPECT_FALSE(libc.Find("tessarin_no_such_symbol", length));
  const LoadedModule missing("/nonexistent/tessarin-gui.so");
  EXPECT_FALSE(missing.Loaded());
  EXPECT_NE(missing.Error().find("/nonexistent/tessarin-gui.so"), std::string::npos)
      << missing.Error();
  EXPECT_FALSE(missing.Find("strlen", length));
}

TEST(GuiLoader, HasNoModuleWithoutADisplayOrWhereNoneLoads) {
  const testing::TemporaryFolder temporary;
  const fs::path folder = temporary.Path();
  const fs::path notAModule = folder / "tessarin-gui.so";
  { std::ofstream(notAModule) << "not a shared library"; }

  GuiLoader noDisplay({notAModule}, false);
  EXPECT_EQ(noDisplay.Module(), nullptr);
  GuiLoader broken({folder / "missing.so", notAModule}, true);
  EXPECT_EQ(broken.Module(), nullptr);
  EXPECT_EQ(broken.Module(), nullptr);
}

class StaleGuiModule : public ::testing::TestWithParam<testing::StaleModule> {};

// Refused before any call (the module's would abort), once, by its file's
// name; messages stay on stderr and the window has no display, as without one.
TEST_P(StaleGuiModule, IsRefusedByNameAndTheRunGoesOnWithoutIt) {
  GuiLoader stale({GetParam().file}, true);
  LinuxMessages messages(stale);
  testing::CapturedStderr errors;
  messages.Show("Command line incomplete.");
  messages.Show("Usage: x");
  EXPECT_EQ(errors.Text(),
            "Command line incomplete.\nThe GUI module cannot be used: " + GetParam().file + ": " +
                GetParam().exported + ", this program needs version " +
                std::to_string(TESSARIN_GUI_VERSION) + ".\nUsage: x\n");
  RecordingSettings settings;
  FakePathRules pathRules;
  LinuxConfigWindow window(stale, settings, pathRules);
  try {
    window.Open();
    ADD_FAILURE() << "the window opened";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.Status(), ExitCode::NoDisplay);
  }
}

INSTANTIATE_TEST_SUITE_P(OfAnotherInstall, StaleGuiModule,
                         ::testing::ValuesIn(testing::kStaleModules));

// A module behind the C boundary holding one box's bytes, whose calls fail
// while `refuse` is set.
struct BoundaryFake {
  std::string box;
  const char* refuse = nullptr;
  int closes = 0;
  TessarinConfigWindowEvents events{};

  static BoundaryFake& Of(void* context) { return *static_cast<BoundaryFake*>(context); }
  static int Status(void* context, char* message, size_t messageSize) {
    if (Of(context).refuse == nullptr) return TESSARIN_MODULE_OK;
    tessarin_write_message(Of(context).refuse, message, messageSize);
    return TESSARIN_MODULE_FAILED;
  }
  TessarinGui Calls() {
    TessarinGui gui{};
    gui.context = this;
    gui.showMessage = [](void* context, const char*, const char*, char* message, size_t size) {
      return Status(context, message, size);
    };
    gui.createConfigWindow = [](void* context, TessarinConfigWindowEvents given,
                                TessarinConfigWindow** window, char* message, size_t size) {
      Of(context).events = given;
      *window = nullptr;
      return Status(context, message, size);
    };
    gui.destroyConfigWindow = [](void*, TessarinConfigWindow*) {};
    gui.boxText = [](void* context, TessarinConfigWindow*, int, const char** text, size_t* size,
                     char* message, size_t messageSize) {
      *text = Of(context).box.data();
      *size = Of(context).box.size();
      return Status(context, message, messageSize);
    };
    gui.setBoxText = [](void* context, TessarinConfigWindow*, int, const char* text, size_t size,
                        char* message, size_t messageSize) {
      Of(context).box.assign(text, size);
      return Status(context, message, messageSize);
    };
    gui.close = [](void* context) { ++Of(context).closes; };
    return gui;
  }
};

class CountedEvents : public ConfigWindowEvents {
 public:
  int oks = 0;
  int closes = 0;
  void OkPressed() override { ++oks; }
  void Closed() override { ++closes; }
};

TEST(GuiModule, BoxBytesAndEventsCrossTheBoundaryWhole) {
  BoundaryFake fake;
  CountedEvents events;
  {
    GuiModule module(fake.Calls());
    const auto window = module.CreateConfigWindow(events);
    const std::string bytes("/walls/\xE9t\xE9\0b.bmp", 16);
    window->SetText(config_window::TextBox::OutputFile, bytes);
    EXPECT_EQ(fake.box, bytes);
    EXPECT_EQ(window->Text(config_window::TextBox::Canvas), bytes);
    fake.events.okPressed(fake.events.context);
    fake.events.closed(fake.events.context);
    EXPECT_EQ(events.oks, 1);
    EXPECT_EQ(events.closes, 1);
  }
  EXPECT_EQ(fake.closes, 1);  // the toolkit ends with the module
}

TEST(GuiModule, AFailedCallThrowsAFailureInTheModulesWords) {
  BoundaryFake fake;
  GuiModule module(fake.Calls());
  CountedEvents events;
  const auto window = module.CreateConfigWindow(events);
  fake.refuse = "no memory for the box";
  try {
    module.ShowMessage("Tessarin", "text");
    ADD_FAILURE() << "the failure was lost";
  } catch (const Failure& failure) {
    EXPECT_STREQ(failure.what(), "the GUI module: no memory for the box");
  }
  EXPECT_THROW(window->SetText(config_window::TextBox::X, "1"), Failure);
  EXPECT_THROW(module.CreateConfigWindow(events), Failure);
  // The module's words fill the program's buffer and stop there.
  const std::string longWords(3 * TESSARIN_MODULE_MESSAGE_BYTES, 'w');
  fake.refuse = longWords.c_str();
  try {
    module.ShowMessage("Tessarin", "text");
    ADD_FAILURE() << "the failure was lost";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.what(),
              "the GUI module: " + std::string(TESSARIN_MODULE_MESSAGE_BYTES - 1, 'w'));
  }
}

TEST(LinuxMessages, WithoutADisplayWritesTheTextToStderrOnly) {
  GuiLoader noDisplay({}, false);
  LinuxMessages messages(noDisplay);
  testing::CapturedStderr errors;
  messages.Show("Command line incomplete:\r\nUsage: x");
  EXPECT_EQ(errors.Text(), "Command line incomplete:\nUsage: x\n");
}

TEST(LinuxMessages, BoxTextHasOneLineFeedForEachLineBreak) {
  EXPECT_EQ(WithLineFeeds("a\r\nb\rc\nd\r\n"), "a\nb\nc\nd\n");
}

TEST(LinuxConfigWindow, WithoutADisplayStopsTheRunWithItsOwnStatus) {
  GuiLoader noDisplay({}, false);
  RecordingSettings settings;
  FakePathRules pathRules;
  LinuxConfigWindow window(noDisplay, settings, pathRules);
  testing::CapturedStderr errors;
  EXPECT_EQ(window.RunUntilClosed(), ExitCode::Done);
  try {
    window.Open();
    ADD_FAILURE() << "the run went on";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.Status(), ExitCode::NoDisplay);
    EXPECT_STREQ(failure.what(), "The configuration window needs a display.");
  }
  EXPECT_EQ(errors.Text(), "");  // the failure stop says it, as for every failure
  EXPECT_EQ(window.RunUntilClosed(), ExitCode::Done);
  EXPECT_TRUE(settings.writes.empty());
}

}  // namespace
}  // namespace tessarin::linux_platform
