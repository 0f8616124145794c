#include "qt/path_box.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextDocument>
#include <QUrl>
#include <utility>

#include "base/picture_patterns.h"

namespace tessarin::qt {
namespace {

// The pictures a canvas may be: the inset folder's patterns and PNG.
QStringList PicturePatterns() {
  const QString list = QString::fromLatin1(kInsetPatterns);
  return list.split(u';', Qt::SkipEmptyParts).replaceInStrings(QStringLiteral(" "), QString())
         << QString::fromLatin1(kCanvasOnlyPattern);
}

QString PictureFilter() {
  return QStringLiteral("Pictures (%1)").arg(PicturePatterns().join(u' '));
}

// The folder itself when it exists, else the nearest folder above it that
// does, else the home folder.
QString NearestFolder(const QString& path) {
  QFileInfo info(path);
  while (!info.isDir()) {
    const QString above = info.absolutePath();
    if (above == info.absoluteFilePath()) return QDir::homePath();
    info.setFile(above);
  }
  return info.absoluteFilePath();
}

// Where a dialog starts: the box's folder, or its file where the file's folder
// exists (the dialog then selects that name); an empty box starts at home.
QString StartOf(const QString& text, PathKind kind) {
  const QString path = text.trimmed();
  if (path.isEmpty()) return QDir::homePath();
  const QFileInfo info(path);
  if (kind == PathKind::Folder || info.isDir()) return NearestFolder(path);
  const QString folder = NearestFolder(info.absolutePath());
  return folder == info.absolutePath() ? info.absoluteFilePath() : folder;
}

// The local path of the one file or folder a drop carries; nothing for a
// remote address or for several items.
std::optional<QString> DroppedPath(const QMimeData& data) {
  const QList<QUrl> urls = data.urls();
  if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
  return urls.front().toLocalFile();
}

// A drop is taken as a copy (or a link): never as a move, after which the
// file manager would delete what it dragged.
bool AcceptAsCopy(QDropEvent& event) {
  for (Qt::DropAction action : {Qt::CopyAction, Qt::LinkAction}) {
    if (event.possibleActions() & action) {
      event.setDropAction(action);
      event.accept();
      return true;
    }
  }
  event.ignore();
  return false;
}

}  // namespace

std::optional<QString> AskPlatformDialog(QWidget* parent, const PathRequest& request) {
  // Constructed with the start path as the static functions are, so that a
  // file's folder opens with the file selected; the platform's helper (portal
  // or desktop) shows it where there is one.
  QFileDialog dialog(parent, request.title, request.start);
  switch (request.kind) {
    case PathKind::Picture:
      dialog.setFileMode(QFileDialog::ExistingFile);
      dialog.setNameFilter(PictureFilter());
      break;
    case PathKind::Folder:
      dialog.setFileMode(QFileDialog::Directory);
      dialog.setOption(QFileDialog::ShowDirsOnly);
      break;
    case PathKind::Bitmap:
      // Choosing writes nothing (OK saves only the name), so nothing is asked
      // about a file that exists.
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setOption(QFileDialog::DontConfirmOverwrite);
      dialog.setNameFilter(QStringLiteral("Bitmaps (*.bmp)"));
      dialog.setDefaultSuffix(QStringLiteral("bmp"));
      break;
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

PathBox::PathBox(PathKind kind, QString dialogTitle, PathDialog dialog, QWidget* parent)
    : QLineEdit(parent),
      kind_(kind),
      dialogTitle_(std::move(dialogTitle)),
      dialog_(std::move(dialog)),
      browse_(new QAction(QStringLiteral("&Browse\u2026"), this)) {
  browse_->setShortcut(kBrowseKey);
  browse_->setShortcutContext(Qt::WidgetShortcut);
  addAction(browse_);
  connect(browse_, &QAction::triggered, this, &PathBox::Browse);
  connect(this, &QLineEdit::textChanged, this, &PathBox::ShowWholeTextWhenCut);
  AddCompleter();
}

// Completion from the file system: the folders to walk down and the files the
// box may name (none for the folder box); letter case counts, as it does in
// Linux file names.
void PathBox::AddCompleter() {
  auto* model = new QFileSystemModel(this);
  QDir::Filters entries = QDir::AllDirs | QDir::NoDotAndDotDot;
  if (kind_ != PathKind::Folder) entries |= QDir::Files;
  model->setFilter(entries);
  if (kind_ == PathKind::Picture) {
    model->setNameFilters(PicturePatterns());  // any letter case, as the run reads them
    model->setNameFilterDisables(false);
  }
  model->setRootPath(QString());
  auto* completer = new QCompleter(model, this);
  completer->setCaseSensitivity(Qt::CaseSensitive);
  setCompleter(completer);
  // The folder being typed in is read in the background as soon as it is
  // named, and what was typed before it was read (quickly, or pasted) is
  // completed once it has been.
  connect(this, &QLineEdit::textEdited, model, [model](const QString& typed) {
    const qsizetype slash = typed.lastIndexOf(u'/');
    if (slash >= 0) model->setRootPath(slash == 0 ? QStringLiteral("/") : typed.left(slash));
  });
  connect(model, &QFileSystemModel::directoryLoaded, completer,
          [this, completer](const QString& folder) {
            if (hasFocus() && completer->completionPrefix() == text() &&
                text().startsWith(folder) && !completer->popup()->isVisible())
              completer->complete();
          });
}

void PathBox::Browse() {
  const std::optional<QString> chosen =
      dialog_(window(), {kind_, dialogTitle_, StartOf(text(), kind_)});
  if (chosen && !chosen->isEmpty()) ReplaceText(*chosen);
}

// As one edit, so that Ctrl+Z brings back what the box held.
void PathBox::ReplaceText(const QString& text) {
  selectAll();
  insert(text);
  setCursorPosition(0);
}

void PathBox::ShowWholeTextWhenCut() {
  QStyleOptionFrame option;
  initStyleOption(&option);
  const QRect room = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
  // The line edit keeps a small margin at each side of its text.
  constexpr int kTextMargins = 2 * 2;
  const QString whole = text();
  if (fontMetrics().horizontalAdvance(whole) <= room.width() - kTextMargins) {
    setToolTip(QString());
  } else if (Qt::mightBeRichText(whole)) {
    setToolTip(QStringLiteral("<p style='white-space:pre'>%1</p>").arg(whole.toHtmlEscaped()));
  } else {
    setToolTip(whole);
  }
}

void PathBox::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction* first = menu->actions().value(0);
  menu->insertAction(first, browse_);
  menu->insertSeparator(first);
  menu->popup(event->globalPos());
}

void PathBox::dragEnterEvent(QDragEnterEvent* event) {
  if (!event->mimeData()->hasUrls()) return QLineEdit::dragEnterEvent(event);
  if (DroppedPath(*event->mimeData()))
    AcceptAsCopy(*event);
  else
    event->ignore();
}

void PathBox::dragMoveEvent(QDragMoveEvent* event) {
  if (!event->mimeData()->hasUrls()) return QLineEdit::dragMoveEvent(event);
  if (DroppedPath(*event->mimeData()))
    AcceptAsCopy(*event);
  else
    event->ignore();
}

void PathBox::dropEvent(QDropEvent* event) {
  if (!event->mimeData()->hasUrls()) return QLineEdit::dropEvent(event);
  const std::optional<QString> path = DroppedPath(*event->mimeData());
  if (path && AcceptAsCopy(*event))
    ReplaceText(*path);
  else
    event->ignore();
}

}  // namespace tessarin::qt
