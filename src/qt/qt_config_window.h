#pragma once

#include <QPixmap>
#include <QWidget>
#include <array>

#include "config_window/config_view.h"
#include "linux/gui_module.h"
#include "qt/path_box.h"

class QLineEdit;

namespace tessarin::qt {

// ConfigForm drawn with Qt Widgets: every control placed from the layout table
// over the white client area and its decorative picture, each box named by its
// label. OK and closing are reported through `events`; the path boxes' Browse
// asks `dialog`.
class QtConfigWindow : public QWidget {
 public:
  explicit QtConfigWindow(TessarinConfigWindowEvents events, PathDialog dialog = AskPlatformDialog);

  std::string Text(config_window::TextBox box) const;
  void SetText(config_window::TextBox box, const std::string& text);
  void Close();
  void Show();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void AddControls();
  QLineEdit* AddBox(config_window::TextBox box);
  void NameBoxesByTheirLabels();

  TessarinConfigWindowEvents events_;
  PathDialog dialog_;
  QPixmap background_;
  std::array<QLineEdit*, config_window::kTextBoxCount> boxes_{};
  // What each box was last given and how it showed it: while the box shows
  // that still, its text is those bytes, UTF-8 or not.
  std::array<std::string, config_window::kTextBoxCount> given_;
  std::array<QString, config_window::kTextBoxCount> shown_;
};

}  // namespace tessarin::qt
