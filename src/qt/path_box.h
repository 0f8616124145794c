#pragma once

#include <QLineEdit>
#include <QString>
#include <functional>
#include <optional>

namespace tessarin::qt {

// What a path box names, which decides what it completes and what its
// dialog picks.
enum class PathKind { Picture, Folder, Bitmap };

// A dialog asked for from a path box: what to pick, its title, and the path
// it starts from (the box's text, or the nearest folder that exists).
struct PathRequest {
  PathKind kind;
  QString title;
  QString start;
};

// Shows a dialog for the request over `parent`; the path chosen, or nothing
// when it was cancelled.
using PathDialog = std::function<std::optional<QString>(QWidget* parent, const PathRequest&)>;

// The desktop's own file dialog where there is one (a portal, GNOME's, KDE's),
// Qt's otherwise.
std::optional<QString> AskPlatformDialog(QWidget* parent, const PathRequest& request);

// The key that opens a path box's dialog; Qt's line edit gives it no meaning.
inline constexpr Qt::Key kBrowseKey = Qt::Key_F4;

// A box for a path: completes it from the file system as it is typed, takes
// the local path of one file or folder dropped on it, opens a dialog from its
// context menu ("Browse…") and from kBrowseKey, and shows its whole text as
// its tooltip while the box is too narrow for it.
class PathBox : public QLineEdit {
 public:
  PathBox(PathKind kind, QString dialogTitle, PathDialog dialog, QWidget* parent);

  // Asks the dialog for a path; the one chosen replaces the box's text.
  void Browse();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void AddCompleter();
  void ShowWholeTextWhenCut();
  void ReplaceText(const QString& text);

  PathKind kind_;
  QString dialogTitle_;
  PathDialog dialog_;
  QAction* browse_;
};

}  // namespace tessarin::qt
