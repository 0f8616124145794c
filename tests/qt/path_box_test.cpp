// The configuration window's path boxes, built into the test with a scripted
// dialog, on Qt's offscreen platform: drops from a file manager, the dialog
// asked for by key and by context menu, completion from a real folder, and
// the tooltip of a path too long for its box.

#include <QApplication>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "qt/qt_config_window.h"

namespace tessarin::qt {

using config_window::TextBox;

class PathBoxTest : public QObject {
  Q_OBJECT

  QTemporaryDir folder_;
  std::vector<PathRequest> asked_;
  std::optional<QString> answer_;
  std::unique_ptr<QtConfigWindow> window_;

  QString At(const QString& name) const { return folder_.filePath(name); }
  QLineEdit* Box(TextBox box) const {
    return window_->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(int(box) + 1));
  }
  static constexpr TextBox kPathBoxes[] = {TextBox::OutputFile, TextBox::Canvas,
                                           TextBox::InsetFolder};

 private slots:
  void initTestCase() {
    QVERIFY(QDir(folder_.path()).mkpath(QStringLiteral("canvases")));
    for (const char* name : {"canvas.jpg", "cover.PNG", "cat.txt", "Cabin.gif"})
      QVERIFY(QFile(At(name)).open(QIODevice::WriteOnly));
  }

  void init() {
    asked_.clear();
    answer_.reset();
    window_ = std::make_unique<QtConfigWindow>(
        TessarinConfigWindowEvents{nullptr, [](void*) {}, [](void*) {}},
        [this](QWidget*, const PathRequest& request) {
          asked_.push_back(request);
          return answer_;
        });
    window_->Show();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  }

  void aDropGivesOneLocalPathAndRefusesTheRest_data() {
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<bool>("taken");
    const QUrl file = QUrl::fromLocalFile(At("canvas.jpg"));
    QTest::newRow("a file") << QList<QUrl>{file} << true;
    QTest::newRow("a folder") << QList<QUrl>{QUrl::fromLocalFile(At("canvases"))} << true;
    QTest::newRow("an http address") << QList<QUrl>{QUrl("http://example.org/a.jpg")} << false;
    QTest::newRow("two files") << QList<QUrl>{file, QUrl::fromLocalFile(At("cat.txt"))} << false;
  }
  void aDropGivesOneLocalPathAndRefusesTheRest() {
    QFETCH(QList<QUrl>, urls);
    QFETCH(bool, taken);
    QMimeData data;  // as a file manager drags: the addresses, also as text
    data.setUrls(urls);
    data.setText(urls.front().toString());
    const auto actions = Qt::CopyAction | Qt::MoveAction;
    for (TextBox box : kPathBoxes) {
      Box(box)->setText(QStringLiteral("/old"));
      const QPoint at = Box(box)->rect().center();
      QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(Box(box), &enter);
      QCOMPARE(enter.isAccepted(), taken);
      QDropEvent drop(at, actions, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(Box(box), &drop);
      QCOMPARE(Box(box)->text(), taken ? urls.front().toLocalFile() : QStringLiteral("/old"));
      if (!taken) continue;
      QCOMPARE(drop.dropAction(), Qt::CopyAction);  // never a move
      Box(box)->undo();
      QCOMPARE(Box(box)->text(), QStringLiteral("/old"));
    }
  }

  void browseAsksFromTheBoxsFolderAndFillsIt_data() {
    QTest::addColumn<TextBox>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("byMenu");
    QTest::addColumn<PathKind>("kind");
    QTest::addColumn<QString>("start");
    QTest::newRow("canvas, a file")
        << TextBox::Canvas << At("canvas.jpg") << false << PathKind::Picture << At("canvas.jpg");
    QTest::newRow("canvas, a missing folder")
        << TextBox::Canvas << At("gone/a.jpg") << true << PathKind::Picture << folder_.path();
    QTest::newRow("insets, a missing subfolder") << TextBox::InsetFolder << At("canvases/gone/")
                                                 << true << PathKind::Folder << At("canvases");
    QTest::newRow("output, empty")
        << TextBox::OutputFile << QString() << false << PathKind::Bitmap << QDir::homePath();
  }
  void browseAsksFromTheBoxsFolderAndFillsIt() {
    QFETCH(TextBox, box);
    QFETCH(QString, text);
    QFETCH(bool, byMenu);
    QFETCH(PathKind, kind);
    QFETCH(QString, start);
    QLineEdit* edit = Box(box);
    auto browse = [&] {
      if (!byMenu) return QTest::keyClick(edit, Qt::Key_F4);
      QContextMenuEvent event(QContextMenuEvent::Keyboard, edit->rect().center(),
                              edit->mapToGlobal(edit->rect().center()));
      QApplication::sendEvent(edit, &event);
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      QVERIFY(menu != nullptr);
      QCOMPARE(menu->actions().front()->text(), QStringLiteral("&Browse\u2026"));
      QTest::keyClick(menu, Qt::Key_B);
    };
    edit->setText(text);
    edit->setFocus();  // F4 goes to the box that has the keyboard
    for (const std::optional<QString>& answer : {std::optional<QString>("/chosen"), {}}) {
      answer_ = answer;
      browse();
      QTRY_COMPARE(asked_.size(), std::size_t(answer ? 1 : 2));
      QCOMPARE(asked_.back().kind, kind);
      if (answer) QCOMPARE(asked_.back().start, start);
      QCOMPARE(edit->text(), QStringLiteral("/chosen"));  // cancelled: left as it was
    }
  }

  void completionOffersWhatTheBoxNames_data() {
    QTest::addColumn<TextBox>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("offered");
    QTest::newRow("canvas: folders and pictures")
        << TextBox::Canvas << "c" << QStringList{"canvas.jpg", "canvases", "cover.PNG"};
    QTest::newRow("canvas: letter case counts")
        << TextBox::Canvas << "C" << QStringList{"Cabin.gif"};
    QTest::newRow("insets: folders") << TextBox::InsetFolder << "c" << QStringList{"canvases"};
    QTest::newRow("output: anything")
        << TextBox::OutputFile << "ca" << QStringList{"canvas.jpg", "canvases", "cat.txt"};
  }
  void completionOffersWhatTheBoxNames() {
    QFETCH(TextBox, box);
    QFETCH(QString, typed);
    QFETCH(QStringList, offered);
    Box(box)->setText(folder_.path() + '/');  // as a paste would
    Box(box)->setFocus();
    QTest::keyClicks(Box(box), typed);
    QCompleter* completer = Box(box)->completer();
    auto completions = [&] {
      QStringList names;
      for (int row = 0; row < completer->completionModel()->rowCount(); ++row)
        names << completer->completionModel()->index(row, 0).data().toString();
      names.sort();
      return names;
    };
    QTRY_COMPARE(completions(), offered);
  }

  void aCutPathShowsWhollyAsTheTooltip() {
    const QString longPath = At("canvases/autumn-lake-at-dawn-from-the-northern-shore.jpg");
    for (TextBox box : kPathBoxes) {
      Box(box)->setText(QStringLiteral("/a.bmp"));
      QCOMPARE(Box(box)->toolTip(), QString());
      Box(box)->setText(longPath);
      QCOMPARE(Box(box)->toolTip(), longPath);
      Box(box)->setText(QStringLiteral("/b.bmp"));
      QCOMPARE(Box(box)->toolTip(), QString());
    }
  }
};

}  // namespace tessarin::qt

QTEST_MAIN(tessarin::qt::PathBoxTest)
#include "path_box_test.moc"
