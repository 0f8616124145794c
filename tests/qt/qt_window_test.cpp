// The configuration window and the message box as the GUI module draws them,
// on Qt's offscreen platform, loaded through the same loader as the program.

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "config_window/layout.h"
#include "linux/gui_loader.h"
#include "linux/linux_config_window.h"
#include "linux/linux_messages.h"
#include "support/captured_stderr.h"
#include "support/window_fakes.h"

namespace tessarin::linux_platform {

namespace layout = config_window::layout;
namespace {

using testing::FakePathRules;
using testing::RecordingSettings;

QRect PixelRect(const layout::Control& c) {
  return QRect(layout::ToPixels(c.left), layout::ToPixels(c.top), layout::ToPixels(c.width),
               layout::ToPixels(c.height));
}

QString Name(std::string_view name) {
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace

class ConfigWindowTest : public QObject {
  Q_OBJECT

 private:
  GuiLoader loader_{{TESSARIN_GUI_MODULE}, true};
  RecordingSettings settings_;
  FakePathRules pathRules_;
  std::unique_ptr<LinuxConfigWindow> window_;

  // Opens a fresh window over the current settings and waits until it has the keyboard.
  QWidget* Open() {
    window_ = std::make_unique<LinuxConfigWindow>(loader_, settings_, pathRules_);
    window_->Open();
    QWidget* form = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "ConfigForm" && w->isVisible()) form = w;
    if (form != nullptr && !QTest::qWaitForWindowActive(form)) return nullptr;
    return form;
  }
  QLineEdit* Box(QWidget* form, int number) {
    return form->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(number));
  }
  void PressAltO(QWidget* form) { QTest::keyClick(form, Qt::Key_O, Qt::AltModifier); }

 private slots:
  void init() {
    settings_ = RecordingSettings();
    window_.reset();
  }

  void controlsStandWhereTheLayoutPutsThem() {
    QWidget* form = Open();
    QVERIFY(form != nullptr);
    QCOMPARE(form->size(), QSize(360, 244));
    QCOMPARE(form->minimumSize(), form->maximumSize());
    QVERIFY(form->windowTitle().contains("Tessarin"));
    QVERIFY(!form->windowIcon().isNull());
    QCOMPARE(form->windowIcon().availableSizes().value(0), QSize(32, 32));
    for (const layout::Control& c : layout::kControls) {
      auto* widget = form->findChild<QWidget*>(Name(c.name));
      QVERIFY2(widget != nullptr, c.name.data());
      QCOMPARE(widget->geometry(), PixelRect(c));
      if (auto* label = qobject_cast<QLabel*>(widget)) {
        QCOMPARE(label->text(), Name(c.caption));
        QVERIFY(!label->autoFillBackground());
        QCOMPARE(bool(label->alignment() & Qt::AlignRight),
                 c.alignment == layout::Alignment::Right);
      }
    }
    for (int n = 1; n <= 7; ++n) {
      QCOMPARE(Box(form, n)->text(), QString());
      QVERIFY(Box(form, n)->maxLength() >= std::numeric_limits<int>::max());
    }
    auto* ok = form->findChild<QPushButton*>("Command1");
    QCOMPARE(ok->text(), QStringLiteral("&OK"));
    QVERIFY(!ok->isDefault());
    QVERIFY(!ok->autoDefault());
  }

  void clientAreaIsWhiteWithTheMosaicAtItsRight() {
    QWidget* form = Open();
    QVERIFY(form != nullptr);
    const QImage shot = form->grab().toImage().scaled(form->size());  // at any scale
    QCOMPARE(shot.pixelColor(4, 4), QColor(Qt::white));
    int tinted = 0;
    for (int y = 60; y < 160; ++y)  // no control stands here
      for (int x = 300; x < 360; ++x) tinted += shot.pixelColor(x, y) != QColor(Qt::white);
    QVERIFY2(tinted > 100 * 60 / 2, "the background picture is not drawn");
  }

  void boxesTakeLongTexts() {
    QWidget* form = Open();
    QVERIFY(form != nullptr);
    const QString path = "/" + QString(40000, 'p');
    Box(form, 1)->insert(path);  // as typing or pasting would, within the length limit
    QCOMPARE(Box(form, 1)->text(), path);
  }

  void tabVisitsBoxesAndButtonInTheirOrder() {
    QWidget* form = Open();
    QVERIFY(form != nullptr);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text1"));
    QStringList visited;
    for (int i = 0; i < 8; ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, QStringList({"Text2", "Text3", "Command1", "Text4", "Text5", "Text6", "Text7",
                                   "Text1"}));
  }

  void altOSavesTheTrimmedBoxesAndEnds() {
    settings_.Set("Canvas", "/kept.bmp");
    QWidget* form = Open();
    QVERIFY(form != nullptr);
    QTest::keyClicks(Box(form, 1), "   ");
    QCOMPARE(Box(form, 2)->text(), QStringLiteral("/kept.bmp"));
    Box(form, 2)->selectAll();  // typing over the saved value
    QTest::keyClicks(Box(form, 2), "    ");
    QTest::keyClicks(Box(form, 3), " /home/u/Pics ");
    QTest::keyClicks(Box(form, 4), "  12  ");
    PressAltO(form);
    QTRY_VERIFY(!form->isVisible());
    QCOMPARE(settings_.writes, (std::vector<std::string>{"InsertDir", "X"}));
    QVERIFY(settings_.Get("X") == "12");
    QVERIFY(settings_.Get("InsertDir") == "/home/u/Pics/");
    QCOMPARE(Box(form, 3)->text(), QStringLiteral("/home/u/Pics/"));
    QVERIFY(settings_.Get("Canvas") == "/kept.bmp");
    QVERIFY(!settings_.Get("OutputFile"));
    QCOMPARE(window_->RunUntilClosed(), ExitCode::Done);
  }

  void enterPressesNothing() {
    QWidget* form = Open();
    QVERIFY(form != nullptr);
    QTest::keyClicks(Box(form, 1), "/out.bmp");
    QTest::keyClick(Box(form, 1), Qt::Key_Return);
    QTest::keyClick(Box(form, 1), Qt::Key_Enter);
    auto* ok = form->findChild<QPushButton*>("Command1");
    ok->setFocus();
    QTest::keyClick(ok, Qt::Key_Return);
    QCoreApplication::processEvents();
    QVERIFY(form->isVisible());
    QVERIFY(settings_.writes.empty());
    // The same window still answers OK.
    PressAltO(form);
    QTRY_COMPARE(settings_.writes, (std::vector<std::string>{"OutputFile"}));
  }

  void closeBoxSavesNothingAndEnds() {
    QWidget* form = Open();
    QVERIFY(form != nullptr);
    QTest::keyClicks(Box(form, 1), "/out.bmp");
    QVERIFY(form->close());
    QVERIFY(!form->isVisible());
    QVERIFY(settings_.writes.empty());
    QCOMPARE(window_->RunUntilClosed(), ExitCode::Done);
  }

  void openingShowsTheSavedValues() {
    const char* keys[] = {"OutputFile", "Canvas", "InsertDir", "X", "Y", "H", "W"};
    for (int n = 0; n < 7; ++n) settings_.Set(keys[n], "value " + std::to_string(n + 1));
    QWidget* form = Open();
    QVERIFY(form != nullptr);
    for (int n = 1; n <= 7; ++n) QCOMPARE(Box(form, n)->text(), QStringLiteral("value %1").arg(n));
  }

  // A short label reaches under the box to its left; the box lies above it.
  void aClickAnywhereInABoxReachesTheBox() {
    QWidget* form = Open();
    QVERIFY(form != nullptr);
    for (const layout::Control& c : layout::kControls) {
      if (c.kind != layout::Kind::TextBox) continue;
      const QRect box = PixelRect(c);
      for (const QPoint& at : {box.center(), QPoint(box.right() - 2, box.center().y())})
        QVERIFY2(form->childAt(at) == Box(form, static_cast<int>(*c.box) + 1), c.name.data());
    }
  }

  // At any scale (the suite also runs with QT_SCALE_FACTOR=2), the window
  // is drawn at the screen's scale and every caption fits its control.
  void nothingIsCutOffAtTheScreensScale() {
    QWidget* form = Open();
    QVERIFY(form != nullptr);
    const qreal scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                            ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                            : 1.0;
    QCOMPARE(form->devicePixelRatio(), scale);
    QCOMPARE(form->grab().size(), QSize(360, 244) * scale);
    for (const layout::Control& c : layout::kControls) {
      if (c.kind == layout::Kind::TextBox) continue;
      auto* widget = form->findChild<QWidget*>(Name(c.name));
      const QString caption = Name(c.caption).remove('&');
      const QRect needed = widget->fontMetrics().boundingRect(caption);
      const int room = qobject_cast<QLabel*>(widget) ? widget->width() : widget->width() - 8;
      QVERIFY2(needed.width() <= room && needed.height() <= widget->height(), c.name.data());
    }
  }

  void unEditedBoxesSaveTheBytesTheyWereGiven() {
    settings_.Set("OutputFile", "/tmp/caf\xC3\xA9 \xE9t\xE9.bmp");  // UTF-8, then Latin-1
    settings_.Set("Canvas", "/tmp/\xE9t\xE9.jpg");
    settings_.Set("InsertDir", "/home/u/Ausfl\xFCge/");
    QWidget* form = Open();
    QVERIFY(form != nullptr);
    QCOMPARE(Box(form, 1)->text(), QStringLiteral("/tmp/caf\u00E9 \u00E9t\u00E9.bmp"));
    QCOMPARE(Box(form, 3)->text(), QStringLiteral("/home/u/Ausfl\u00FCge/"));
    Box(form, 2)->end(false);
    QTest::keyClicks(Box(form, 2), "x");
    PressAltO(form);
    QTRY_VERIFY(!form->isVisible());
    QVERIFY(settings_.Get("OutputFile") == "/tmp/caf\xC3\xA9 \xE9t\xE9.bmp");
    QVERIFY(settings_.Get("InsertDir") == "/home/u/Ausfl\xFCge/");
    // An edited box saves what it shows.
    QVERIFY(settings_.Get("Canvas") == "/tmp/\xC3\xA9t\xC3\xA9.jpgx");
  }

  void aRefusedSaveStopsTheRunWithItsFailure() {
    QWidget* form = Open();
    QVERIFY(form != nullptr);
    QTest::keyClicks(Box(form, 5), "3");
    settings_.refuseWrites = true;
    PressAltO(form);
    QTRY_VERIFY(!form->isVisible());
    QVERIFY_THROWS_EXCEPTION(Failure, window_->RunUntilClosed());
  }
};

class MessageBoxTest : public QObject {
  Q_OBJECT

  struct Seen {
    QString title, text;
    std::string written;  // to stderr
    bool hasIcon = true, okPressed = false;
    int buttons = 0;
    QSize box, message;
    int lineSpacing = 0;
  };

  // Shows the text as the program does and presses OK once the box is up.
  static Seen Show(const std::string& text) {
    GuiLoader loader({TESSARIN_GUI_MODULE}, true);
    LinuxMessages messages(loader);
    Seen seen;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      auto* message = box->findChild<QLabel*>("message");
      if (message == nullptr) return box->reject();
      seen.title = box->windowTitle();
      seen.text = message->text();
      seen.hasIcon = false;
      for (QLabel* label : box->findChildren<QLabel*>())
        seen.hasIcon |= label != message || !label->pixmap().isNull();
      auto* buttons = box->findChild<QDialogButtonBox*>();
      seen.buttons = static_cast<int>(buttons->buttons().size());
      seen.box = box->size();
      seen.message = message->size();
      seen.lineSpacing = message->fontMetrics().lineSpacing();
      seen.okPressed = true;
      QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    testing::CapturedStderr errors;
    messages.Show(text);
    seen.written = errors.Text();
    return seen;
  }

 private slots:
  void showsTheTextUnderTheTitleAndWaitsForOk() {
    const Seen seen = Show("Command line incomplete:\r\nUsage: <a> & b");
    QVERIFY(seen.okPressed);
    QCOMPARE(seen.title, QStringLiteral("Tessarin"));
    QCOMPARE(seen.text, QStringLiteral("Command line incomplete:\nUsage: <a> & b"));
    QVERIFY(!seen.hasIcon);
    QCOMPARE(seen.buttons, 1);
    QCOMPARE(seen.written, "Command line incomplete:\nUsage: <a> & b\n");
  }

  void eachLineStaysOneLineWhereItFits() {
    const Seen seen = Show(
        "Command line incomplete:\r\nUsage: Tessarin [CanvasPicture], [RandomPicture], [X], [Y], "
        "[Height], [Width], [OutputBMP]");
    QVERIFY(seen.okPressed);
    QCOMPARE(seen.message.height() / seen.lineSpacing, 2);
  }

  void aLineWiderThanTheScreenWrapsWithinIt() {
    QString words;
    for (int i = 0; i < 60; ++i) words += QStringLiteral("/folder%1 ").arg(i);
    const Seen seen = Show(words.toStdString());
    QVERIFY(seen.okPressed);
    const int screen = QApplication::primaryScreen()->availableGeometry().width();
    QVERIFY(seen.box.width() <= screen * 9 / 10);
    QVERIFY(seen.box.width() >= screen * 8 / 10);
    QVERIFY(seen.message.height() / seen.lineSpacing >= 2);
  }

  void bytesThatAreNotUtf8ShowAsLatin1() {
    QCOMPARE(Show("Not found: /tmp/\xE9t\xE9.jpg").text,
             QStringLiteral("Not found: /tmp/\u00E9t\u00E9.jpg"));
  }
};

}  // namespace tessarin::linux_platform

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  tessarin::linux_platform::ConfigWindowTest window;
  tessarin::linux_platform::MessageBoxTest box;
  return QTest::qExec(&window, argc, argv) | QTest::qExec(&box, argc, argv);
}

#include "qt_window_test.moc"
