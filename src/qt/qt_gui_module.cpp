// The GUI module: Qt Widgets behind the plain C interface of gui_module.h.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "linux/gui_module.h"
#include "qt/qt_config_window.h"
#include "qt/shown_text.h"

namespace tessarin::qt {
namespace {

// Qt ends the process when it cannot open its platform, so the display is
// tried first and the platform named explicitly.
bool XServerAnswers() {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool answers = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return answers;
}

// The compositor's socket, which WAYLAND_DISPLAY names: a path, or a name in
// XDG_RUNTIME_DIR.
bool WaylandCompositorAnswers() {
  QByteArray path = qgetenv("WAYLAND_DISPLAY");
  if (!path.startsWith('/')) path = qgetenv("XDG_RUNTIME_DIR") + '/' + path;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (static_cast<std::size_t>(path.size()) >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
  const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket < 0) return false;
  const bool answers =
      ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(socket);
  return answers;
}

bool WaylandPluginInstalled() {
  const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath);
  return QFileInfo::exists(plugins + QStringLiteral("/platforms/libqwayland-generic.so"));
}

bool ChooseDisplay() {
  if (QApplication::instance() != nullptr || qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    return true;
  if (!qEnvironmentVariableIsEmpty("DISPLAY") && XServerAnswers()) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
  }
  if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && WaylandPluginInstalled() &&
      WaylandCompositorAnswers()) {
    qputenv("QT_QPA_PLATFORM", "wayland");
    return true;
  }
  return false;
}

// The width that keeps each line of the text on one line, up to nine tenths
// of the screen less the box's margins; longer lines wrap at that width.
int MessageWidth(const QLabel& label, const QDialog& box) {
  const QFontMetricsF metrics(label.font());
  qreal widest = 0;
  for (const QString& line : label.text().split(u'\n'))
    widest = std::max(widest, metrics.horizontalAdvance(line));
  const QMargins margins = box.layout()->contentsMargins();
  const int most =
      box.screen()->availableGeometry().width() * 9 / 10 - margins.left() - margins.right();
  return std::min(static_cast<int>(std::ceil(widest)) + 1, most);
}

// A modal box sized to its text: the title, the text as plain text, one OK
// button and no icon.
void ShowMessageBox(const QString& title, const QString& text) {
  QDialog box;
  box.setWindowTitle(title);
  auto* message = new QLabel(text, &box);
  message->setObjectName(QStringLiteral("message"));
  message->setTextFormat(Qt::PlainText);
  message->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  auto* layout = new QVBoxLayout(&box);
  layout->addWidget(message);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  message->setFixedWidth(MessageWidth(*message, box));
  box.exec();
}

// The toolkit started on this process's display.
class QtGuiModule {
 public:
  QtGuiModule() {
    if (QApplication::instance() == nullptr) {
      application_ = std::make_unique<QApplication>(argc_, argv_);
      QApplication::setApplicationName(QStringLiteral("Tessarin"));
    }
    QApplication::setQuitOnLastWindowClosed(false);
  }

  void RunEventLoop() {
    if (!quitRequested_) {
      QEventLoop loop;
      running_ = &loop;
      loop.exec();
      running_ = nullptr;
    }
    quitRequested_ = false;
  }

  // Asked before the loop runs, it makes the next run return at once.
  void QuitEventLoop() {
    if (running_ != nullptr)
      running_->quit();
    else
      quitRequested_ = true;
  }

 private:
  // QApplication keeps references to both for its whole life.
  int argc_ = 1;
  char name_[9] = "tessarin";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
  QEventLoop* running_ = nullptr;
  bool quitRequested_ = false;
};

}  // namespace
}  // namespace tessarin::qt

// The window behind the boundary's opaque handle, with the text last handed out.
struct TessarinConfigWindow {
  explicit TessarinConfigWindow(TessarinConfigWindowEvents events) : widget(events) {}
  tessarin::qt::QtConfigWindow widget;
  std::string text;
};

namespace tessarin::qt {
namespace {

using config_window::TextBox;

QtGuiModule& ModuleOf(void* context) { return *static_cast<QtGuiModule*>(context); }

// No exception may cross the boundary: a failure becomes the status, its
// words written into the caller's message buffer.
template <typename Call>
int Guarded(char* message, std::size_t messageSize, Call call) noexcept {
  try {
    call();
    return TESSARIN_MODULE_OK;
  } catch (const std::exception& failure) {
    tessarin_write_message(failure.what(), message, messageSize);
  } catch (...) {
    tessarin_write_message("an unexpected error of unknown kind", message, messageSize);
  }
  return TESSARIN_MODULE_FAILED;
}

TextBox BoxNumbered(int box) {
  if (box < 0 || box >= config_window::kTextBoxCount)
    throw std::out_of_range("no text box " + std::to_string(box));
  return static_cast<TextBox>(box);
}

TessarinGui CallsOf(QtGuiModule& module) {
  TessarinGui gui{};
  gui.context = &module;
  gui.showMessage = [](void*, const char* title, const char* text, char* message,
                       std::size_t messageSize) {
    return Guarded(message, messageSize,
                   [&] { ShowMessageBox(ShownText(title), ShownText(text)); });
  };
  gui.createConfigWindow = [](void*, TessarinConfigWindowEvents events,
                              TessarinConfigWindow** window, char* message,
                              std::size_t messageSize) {
    return Guarded(message, messageSize, [&] { *window = new TessarinConfigWindow(events); });
  };
  gui.destroyConfigWindow = [](void*, TessarinConfigWindow* window) { delete window; };
  gui.boxText = [](void*, TessarinConfigWindow* window, int box, const char** text,
                   std::size_t* size, char* message, std::size_t messageSize) {
    return Guarded(message, messageSize, [&] {
      window->text = window->widget.Text(BoxNumbered(box));
      *text = window->text.data();
      *size = window->text.size();
    });
  };
  gui.setBoxText = [](void*, TessarinConfigWindow* window, int box, const char* text,
                      std::size_t size, char* message, std::size_t messageSize) {
    return Guarded(message, messageSize,
                   [&] { window->widget.SetText(BoxNumbered(box), std::string(text, size)); });
  };
  gui.showConfigWindow = [](void*, TessarinConfigWindow* window, char* message,
                            std::size_t messageSize) {
    return Guarded(message, messageSize, [&] { window->widget.Show(); });
  };
  gui.closeConfigWindow = [](void*, TessarinConfigWindow* window, char* message,
                             std::size_t messageSize) {
    return Guarded(message, messageSize, [&] { window->widget.Close(); });
  };
  gui.runEventLoop = [](void* context, char* message, std::size_t messageSize) {
    return Guarded(message, messageSize, [&] { ModuleOf(context).RunEventLoop(); });
  };
  gui.quitEventLoop = [](void* context) { ModuleOf(context).QuitEventLoop(); };
  gui.close = [](void* context) { delete &ModuleOf(context); };
  return gui;
}

}  // namespace
}  // namespace tessarin::qt

extern "C" __attribute__((visibility("default"))) const uint32_t tessarin_gui_version =
    TESSARIN_GUI_VERSION;

extern "C" __attribute__((visibility("default"))) int tessarin_open_gui(TessarinGui* gui,
                                                                        char* message,
                                                                        size_t messageSize) {
  try {
    if (!tessarin::qt::ChooseDisplay()) {
      tessarin_write_message("no display can be reached", message, messageSize);
      return TESSARIN_MODULE_FAILED;
    }
    *gui = tessarin::qt::CallsOf(*new tessarin::qt::QtGuiModule());
    return TESSARIN_MODULE_OK;
  } catch (const std::exception& failure) {
    // A toolkit that cannot start is no display to the program.
    tessarin_write_message(failure.what(), message, messageSize);
  } catch (...) {
    tessarin_write_message("the toolkit cannot start", message, messageSize);
  }
  return TESSARIN_MODULE_FAILED;
}

static_assert(std::is_same_v<decltype(&tessarin_open_gui), TessarinOpenGuiFunction>);
