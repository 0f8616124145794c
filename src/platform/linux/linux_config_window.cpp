#include "platform/linux/linux_config_window.h"

#include "platform/failure.h"

namespace tessarin::linux_platform {

LinuxConfigWindow::LinuxConfigWindow(GuiLoader& gui, platform::SettingsBackend& settings,
                                     platform::Process& process,
                                     const platform::Conventions& conventions)
    : gui_(gui),
      settings_(settings),
      process_(process),
      conventions_(conventions),
      endAfterTheLoop_(process) {}

// The form refers to the widget; both go before the module's toolkit.
LinuxConfigWindow::~LinuxConfigWindow() {
  form_.reset();
  widget_.reset();
}

void LinuxConfigWindow::Open() {
  if (widget_) return;
  GuiModule* gui = gui_.Module();
  if (gui == nullptr) throw Failure("The configuration window needs a display.", ExitCode::NoDisplay);
  widget_ = gui->CreateConfigWindow(*this);
  form_.emplace(settings_, endAfterTheLoop_, conventions_, *widget_);
  form_->Load();
  widget_->Show();
}

ExitCode LinuxConfigWindow::RunUntilClosed() {
  if (!widget_) return ExitCode::Done;
  if (!end_ && !failure_) gui_.Module()->RunEventLoop();
  if (failure_) std::rethrow_exception(failure_);
  return end_.value_or(ExitCode::Done);
}

void LinuxConfigWindow::OkPressed() {
  Guarded([this] { form_->OkPressed(); });
}

void LinuxConfigWindow::Closed() {
  Guarded([this] { form_->Unload(); });
}

// Whatever ends the event (the form's end of the program, or a failure such
// as a refused settings write) is kept for RunUntilClosed, and the loop left.
template <typename Event>
void LinuxConfigWindow::Guarded(Event event) {
  const bool decided = end_ || failure_;
  try {
    event();
    return;
  } catch (const EndRequest& request) {
    if (!decided) end_ = request.status;
  } catch (...) {
    if (!decided) failure_ = std::current_exception();
  }
  gui_.Module()->QuitEventLoop();
  if (failure_ && !decided) widget_->Close();
}

}  // namespace tessarin::linux_platform
