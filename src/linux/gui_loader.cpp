#include "linux/gui_loader.h"

#include <cstdlib>

#include "base/failure.h"
#include "linux/loaded_module.h"
#include "linux/stderr_messages.h"

namespace tessarin::linux_platform {
namespace {

bool VariableSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// A module of another version is refused, and said so on stderr: the
// program goes on as it does without one.
std::unique_ptr<GuiModule> LoadFrom(const std::filesystem::path& file) {
  const LoadedModule module(file.string());
  if (!module.Loaded()) return nullptr;
  if (const auto mismatch =
          module.VersionMismatch(TESSARIN_GUI_VERSION_SYMBOL, TESSARIN_GUI_VERSION)) {
    WriteToStderr("The GUI module cannot be used: " + *mismatch + ".");
    return nullptr;
  }
  TessarinOpenGuiFunction open = nullptr;
  TessarinGui gui{};
  // Why it found no display is of no use: the program goes on without one.
  char message[TESSARIN_MODULE_MESSAGE_BYTES] = "";
  if (!module.Find(TESSARIN_OPEN_GUI_SYMBOL, open) ||
      open(&gui, message, sizeof message) != TESSARIN_MODULE_OK) {
    return nullptr;
  }
  return std::make_unique<GuiModule>(gui);
}

// Calls into the module, giving it a message buffer; its failure throws with
// the module's words.
template <typename Call, typename... Arguments>
void CallModule(Call call, Arguments... arguments) {
  char message[TESSARIN_MODULE_MESSAGE_BYTES] = "";
  if (call(arguments..., message, sizeof message) != TESSARIN_MODULE_OK)
    throw Failure(FailureKind::Platform, std::string("the GUI module: ") + message);
}

int NumberOf(config_window::TextBox box) { return static_cast<int>(box); }

// The window's handlers keep their own failures (LinuxConfigWindow guards
// each event); should one still escape, it stops here, for nothing may unwind
// through the toolkit.
template <void (ConfigWindowEvents::*event)()>
void Deliver(void* events) noexcept {
  try {
    (static_cast<ConfigWindowEvents*>(events)->*event)();
  } catch (...) {
  }
}

}  // namespace

ConfigWindowWidget::~ConfigWindowWidget() { gui_.destroyConfigWindow(gui_.context, window_); }

std::string ConfigWindowWidget::Text(config_window::TextBox box) const {
  const char* text = nullptr;
  std::size_t size = 0;
  CallModule(gui_.boxText, gui_.context, window_, NumberOf(box), &text, &size);
  return std::string(text, size);
}

void ConfigWindowWidget::SetText(config_window::TextBox box, const std::string& text) {
  CallModule(gui_.setBoxText, gui_.context, window_, NumberOf(box), text.data(), text.size());
}

void ConfigWindowWidget::Close() { CallModule(gui_.closeConfigWindow, gui_.context, window_); }

void ConfigWindowWidget::Show() { CallModule(gui_.showConfigWindow, gui_.context, window_); }

GuiModule::~GuiModule() { gui_.close(gui_.context); }

void GuiModule::ShowMessage(const std::string& title, const std::string& text) {
  CallModule(gui_.showMessage, gui_.context, title.c_str(), text.c_str());
}

std::unique_ptr<ConfigWindowWidget> GuiModule::CreateConfigWindow(ConfigWindowEvents& events) {
  const TessarinConfigWindowEvents calls{&events, Deliver<&ConfigWindowEvents::OkPressed>,
                                         Deliver<&ConfigWindowEvents::Closed>};
  TessarinConfigWindow* window = nullptr;
  CallModule(gui_.createConfigWindow, gui_.context, calls, &window);
  return std::make_unique<ConfigWindowWidget>(gui_, window);
}

void GuiModule::RunEventLoop() { CallModule(gui_.runEventLoop, gui_.context); }

void GuiModule::QuitEventLoop() { gui_.quitEventLoop(gui_.context); }

bool DisplayNamed() { return VariableSet("DISPLAY") || VariableSet("WAYLAND_DISPLAY"); }

GuiLoader GuiLoader::ForThisProcess() {
  return GuiLoader(ModuleCandidatesOfThisProcess(kGuiModuleFileName), DisplayNamed());
}

GuiModule* GuiLoader::Module() {
  if (!module_) {
    module_.emplace();
    if (!displayPresent_) return nullptr;
    if (const auto file = FirstOrdinaryFile(candidates_)) *module_ = LoadFrom(*file);
  }
  return module_->get();
}

}  // namespace tessarin::linux_platform
