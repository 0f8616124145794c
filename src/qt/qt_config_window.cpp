#include "qt/qt_config_window.h"

#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <limits>
#include <utility>

#include "config_window/layout.h"
#include "qt/shown_text.h"

namespace tessarin::qt {

namespace layout = config_window::layout;
namespace {

using layout::ToPixels;

QRect PixelRect(const layout::Control& control) {
  return QRect(ToPixels(control.left), ToPixels(control.top), ToPixels(control.width),
               ToPixels(control.height));
}

QString FromView(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

Qt::Alignment AlignmentOf(layout::Alignment alignment) {
  switch (alignment) {
    case layout::Alignment::Right:
      return Qt::AlignRight | Qt::AlignTop;
    case layout::Alignment::Center:
      return Qt::AlignHCenter | Qt::AlignTop;
    case layout::Alignment::Left:
      break;
  }
  return Qt::AlignLeft | Qt::AlignTop;
}

std::size_t IndexOf(config_window::TextBox box) { return static_cast<std::size_t>(box); }

// A plain widget reads as a "filler"; the window reads as a window (a frame,
// to AT-SPI), which a screen reader announces by its title.
QAccessibleInterface* WindowAccessible(const QString&, QObject* object) {
  auto* window = dynamic_cast<QtConfigWindow*>(object);
  return window != nullptr ? new QAccessibleWidget(window, QAccessible::Window) : nullptr;
}

}  // namespace

QtConfigWindow::QtConfigWindow(TessarinConfigWindowEvents events, PathDialog dialog)
    : events_(events),
      dialog_(std::move(dialog)),
      background_(QStringLiteral(":/tessarin/background.jpg")) {
  [[maybe_unused]] static const bool accessibleAsWindow =
      (QAccessible::installFactory(WindowAccessible), true);
  setObjectName(QStringLiteral("ConfigForm"));
  setWindowTitle(QStringLiteral("Tessarin Configuration"));
  setWindowIcon(QIcon(QStringLiteral(":/tessarin/icon.png")));
  setFixedSize(ToPixels(layout::kClientWidth), ToPixels(layout::kClientHeight));
  AddControls();
}

void QtConfigWindow::AddControls() {
  std::array<QWidget*, layout::kControls.size()> widgets{};
  for (std::size_t i = 0; i < layout::kControls.size(); ++i) {
    const layout::Control& control = layout::kControls[i];
    QWidget* widget = nullptr;
    switch (control.kind) {
      case layout::Kind::Label: {
        // No background of its own: the window's picture shows through.
        auto* label = new QLabel(FromView(control.caption), this);
        label->setAlignment(AlignmentOf(control.alignment));
        // Under every box: a short label reaching under the box to its left is
        // covered there, and a click in the box reaches the box.
        label->lower();
        widget = label;
        break;
      }
      case layout::Kind::TextBox:
        widget = AddBox(*control.box);
        break;
      case layout::Kind::Button: {
        // "&OK" gives Alt+O; not a default button, so Enter in a box does nothing.
        auto* button = new QPushButton(FromView(control.caption), this);
        button->setAutoDefault(false);
        button->setDefault(false);
        connect(button, &QPushButton::clicked, this,
                [this] { events_.okPressed(events_.context); });
        widget = button;
        break;
      }
    }
    widget->setObjectName(FromView(control.name));
    widget->setGeometry(PixelRect(control));
    widgets[i] = widget;
  }
  NameBoxesByTheirLabels();
  const auto order = layout::FocusOrder();
  for (std::size_t i = 0; i + 1 < order.size(); ++i) {
    auto widgetOf = [&](const layout::Control* control) {
      return widgets[static_cast<std::size_t>(control - layout::kControls.data())];
    };
    setTabOrder(widgetOf(order[i]), widgetOf(order[i + 1]));
  }
}

// The three path boxes complete, take drops and browse; the area's boxes are
// plain.
QLineEdit* QtConfigWindow::AddBox(config_window::TextBox box) {
  QLineEdit* edit = nullptr;
  switch (box) {
    case config_window::TextBox::OutputFile:
      edit = new PathBox(PathKind::Bitmap, QStringLiteral("Output/Wallpaper File"), dialog_, this);
      break;
    case config_window::TextBox::Canvas:
      edit = new PathBox(PathKind::Picture, QStringLiteral("Canvas Picture"), dialog_, this);
      break;
    case config_window::TextBox::InsetFolder:
      edit = new PathBox(PathKind::Folder, QStringLiteral("Folder with Insets"), dialog_, this);
      break;
    default:
      edit = new QLineEdit(this);
      break;
  }
  edit->setMaxLength(std::numeric_limits<int>::max());
  boxes_[IndexOf(box)] = edit;
  return edit;
}

// A screen reader reads each box by its label's caption; the label is its
// buddy, which assistive tools also show as the box's "labelled by".
void QtConfigWindow::NameBoxesByTheirLabels() {
  for (int i = 0; i < config_window::kTextBoxCount; ++i) {
    const auto box = static_cast<config_window::TextBox>(i);
    findChild<QLabel*>(FromView(layout::kBoxLabels[IndexOf(box)]))->setBuddy(boxes_[IndexOf(box)]);
    boxes_[IndexOf(box)]->setAccessibleName(FromView(layout::BoxName(box)));
  }
}

// An unedited box gives back the bytes it was given, so that a value that is
// not UTF-8 is saved as it was read.
std::string QtConfigWindow::Text(config_window::TextBox box) const {
  const std::size_t i = IndexOf(box);
  const QString text = boxes_[i]->text();
  return text == shown_[i] ? given_[i] : text.toStdString();
}

// Long paths show their beginning, as a box does before it is edited.
void QtConfigWindow::SetText(config_window::TextBox box, const std::string& text) {
  const std::size_t i = IndexOf(box);
  boxes_[i]->setText(ShownText(text));
  boxes_[i]->setCursorPosition(0);
  given_[i] = text;
  shown_[i] = boxes_[i]->text();
}

void QtConfigWindow::Close() { close(); }

void QtConfigWindow::Show() {
  show();
  // Without a window manager nothing else gives the window the keyboard.
  raise();
  activateWindow();
  boxes_[IndexOf(config_window::TextBox::OutputFile)]->setFocus();
}

void QtConfigWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.drawPixmap(0, 0, background_);
}

void QtConfigWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  events_.closed(events_.context);
}

}  // namespace tessarin::qt
