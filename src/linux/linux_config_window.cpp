#include "linux/linux_config_window.h"

#include "base/failure.h"

namespace tessarin::linux_platform {

LinuxConfigWindow::LinuxConfigWindow(GuiLoader& gui, ports::SettingsBackend& settings,
                                     const ports::PathRules& pathRules)
    : gui_(gui), settings_(settings), pathRules_(pathRules) {}

// The form refers to the widget; both go before the module's toolkit.
LinuxConfigWindow::~LinuxConfigWindow() {
  form_.reset();
  widget_.reset();
}

void LinuxConfigWindow::Open() {
  if (widget_) return;
  GuiModule* gui = gui_.Module();
  if (gui == nullptr)
    throw Failure(FailureKind::NoDisplay, "The configuration window needs a display.");
  widget_ = gui->CreateConfigWindow(*this);
  form_.emplace(settings_, pathRules_, *widget_);
  form_->Load();
  widget_->Show();
}

ExitCode LinuxConfigWindow::RunUntilClosed() {
  if (!widget_) return ExitCode::Done;
  if (!outcome_.Decided()) gui_.Module()->RunEventLoop();
  return outcome_.Result();
}

void LinuxConfigWindow::OkPressed() {
  Guarded([this] { form_->OkPressed(); });
}

// The form's unload decides the run's status; the loop is left, and the run
// ends outside it.
void LinuxConfigWindow::Closed() {
  Guarded([this] {
    outcome_.End(form_->Unload());
    gui_.Module()->QuitEventLoop();
  });
}

// No exception may cross Qt: a failure in an event (a refused settings write)
// is kept for RunUntilClosed, the loop left and the window closed.
template <typename Event>
void LinuxConfigWindow::Guarded(Event event) {
  try {
    event();
  } catch (...) {
    if (outcome_.Decided()) return;  // the window's end was decided before
    outcome_.FailWithCurrentException();
    gui_.Module()->QuitEventLoop();
    widget_->Close();
  }
}

}  // namespace tessarin::linux_platform
