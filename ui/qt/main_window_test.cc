#include "ui/qt/main_window.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string_view>
#include <thread>

#include "merge/merge_job.h"
#include "ui/fatal_error.h"
#include "ui/layout.h"

namespace segjoin {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

const QString kDefaultPrefix = QStringLiteral("2023-05-20184601");
const QString kOutputName = QStringLiteral("合成音频.mp3");

QString Progress(const QString& segment_name) {
  return FromUtf8(kProgressTextPrefix) + segment_name;
}

// Segment content that differs from segment to segment, so that a wrong or
// missing piece shows in the joined output.
QByteArray SegmentBytes(int seed, int size = 300) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = char((seed * 31 + i * 7) % 251);
  return bytes;
}

// The fatal-error path ends the process, so it runs in a child: this test
// program started again with one of these arguments.
constexpr std::string_view kFatalErrorOnGuiThread =
    "--fatal-error-on-gui-thread";
constexpr std::string_view kFatalErrorOnJobThread =
    "--fatal-error-on-job-thread";

// Meets a fatal error on the thread that `mode` names. When the error box
// shows, prints its icon and text and presses OK, as a user would.
int RunFatalErrorChild(int argc, char** argv, std::string_view mode) {
  QApplication application(argc, argv);
  QTimer box_watch;
  QObject::connect(&box_watch, &QTimer::timeout, [] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    std::printf("%d %s\n", int(box->icon()), box->text().toUtf8().constData());
    std::fflush(stdout);
    box->button(QMessageBox::Ok)->click();
  });
  box_watch.start(10);
  QTimer::singleShot(0, [mode] {
    const auto fail = [] { FatalError(OutOfMemoryMessage(123)); };
    if (mode == kFatalErrorOnGuiThread)
      fail();
    else
      std::thread(fail).detach();
  });
  return application.exec();  // only if the fatal error failed to end it
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void ControlMatchesTheLayoutTable_data();
  void ControlMatchesTheLayoutTable();
  void ControlsAreCreatedInTableOrder();
  void WindowIsFixedCentredAndUntitled();
  void StartButtonHasTheFocusAtFirst();
  void TabCyclesThroughTheFields_data();
  void TabCyclesThroughTheFields();
  void StartNumberFieldFiltersTyping_data();
  void StartNumberFieldFiltersTyping();
  void StartNumberFieldFiltersInputMethodText();
  void PasteIntoStartNumberFieldIsNotFiltered();
  void EscapeClosesTheWindow_data();
  void EscapeClosesTheWindow();
  void EnterStartsNothing_data();
  void EnterStartsNothing();
  void ClickOnStartRunsTheJob_data();
  void ClickOnStartRunsTheJob();
  void ClickDuringAJobIsIgnored();
  void PrefixEditedDuringAJobIsSeen();
  void JobOfADestroyedWindowTouchesNothing();
  void FatalErrorShowsABoxThenExitsWithMinusOne_data();
  void FatalErrorShowsABoxThenExitsWithMinusOne();

 private:
  QLineEdit* Field(ControlId id) const {
    return qobject_cast<QLineEdit*>(window_->Control(id));
  }
  QPushButton* StartButton() const {
    return qobject_cast<QPushButton*>(window_->Control(kStartButtonId));
  }
  QString PathOf(const QString& name) const {
    return QDir(directory_->path()).filePath(name);
  }
  void WriteFile(const QString& name, const QByteArray& bytes) const {
    QFile file(PathOf(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
  }
  QByteArray ReadFile(const QString& name) const {
    QFile file(PathOf(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  // Every text the status field shows from now on, in order.
  void RecordStatusTexts() {
    connect(Field(kStatusFieldId), &QLineEdit::textChanged, this,
            [this](const QString& text) { status_texts_ << text; });
  }

  std::unique_ptr<QTemporaryDir> directory_;
  std::unique_ptr<MainWindow> window_;
  QStringList status_texts_;
};

void MainWindowTest::init() {
  directory_ = std::make_unique<QTemporaryDir>();
  QVERIFY(directory_->isValid());
  window_ = std::make_unique<MainWindow>(directory_->path().toStdString());
  status_texts_.clear();
  window_->show();
  window_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void MainWindowTest::cleanup() {
  // A job still running would outlive its directory.
  if (window_) QTRY_VERIFY_WITH_TIMEOUT(!window_->IsMergeRunning(), 10000);
  window_.reset();
  directory_.reset();
}

void MainWindowTest::ControlMatchesTheLayoutTable_data() {
  QTest::addColumn<int>("row");
  for (size_t row = 0; row < kMainWindowControls.size(); ++row) {
    QTest::newRow(QByteArray::number(kMainWindowControls[row].id)) << int(row);
  }
}

void MainWindowTest::ControlMatchesTheLayoutTable() {
  QFETCH(int, row);
  const ControlLayout& layout = kMainWindowControls[size_t(row)];
  QWidget* control = window_->Control(layout.id);
  QVERIFY(control != nullptr);
  QCOMPARE(control->geometry(),
           QRect(layout.left, layout.top, layout.width, layout.height));
  QVERIFY(control->isVisible());
  QCOMPARE(control->font(), QApplication::font());
  QCOMPARE(control->focusPolicy() != Qt::NoFocus, layout.tab_position >= 0);
  const QString text = FromUtf8(layout.text);
  switch (layout.kind) {
    case ControlKind::kLabel: {
      auto* label = qobject_cast<QLabel*>(control);
      QVERIFY(label != nullptr);
      QCOMPARE(label->text(), text);
      QCOMPARE(label->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
      QVERIFY(!label->wordWrap());
      QVERIFY(!label->autoFillBackground());
      break;
    }
    case ControlKind::kEdit:
    case ControlKind::kDigitsEdit: {
      auto* edit = qobject_cast<QLineEdit*>(control);
      QVERIFY(edit != nullptr);
      QCOMPARE(edit->text(), text);
      QCOMPARE(edit->alignment(), Qt::AlignCenter);
      QVERIFY(!edit->isReadOnly());
      QCOMPARE(edit->cursorPosition(), 0);
      QVERIFY(!edit->hasSelectedText());
      break;
    }
    case ControlKind::kPushButton: {
      auto* button = qobject_cast<QPushButton*>(control);
      QVERIFY(button != nullptr);
      QCOMPARE(button->text(), text);
      QVERIFY(!button->autoDefault());
      QVERIFY(!button->isDefault());
      break;
    }
  }
}

void MainWindowTest::ControlsAreCreatedInTableOrder() {
  QList<QWidget*> expected;
  for (const ControlLayout& layout : kMainWindowControls)
    expected << window_->Control(layout.id);
  QCOMPARE(window_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly),
           expected);
}

void MainWindowTest::WindowIsFixedCentredAndUntitled() {
  QCOMPARE(window_->size(), QSize(374, 162));
  QCOMPARE(window_->minimumSize(), window_->size());
  QCOMPARE(window_->maximumSize(), window_->size());
  QVERIFY(window_->windowTitle().isEmpty());
  // The icon file was found and read, all its sizes.
  QVERIFY(window_->windowIcon().availableSizes().contains(QSize(16, 16)));
  QVERIFY(window_->windowIcon().availableSizes().contains(QSize(256, 256)));
  const Qt::WindowFlags flags = window_->windowFlags();
  QVERIFY(flags & Qt::WindowMinimizeButtonHint);
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));

  // The frame's corner, where Windows puts that of its 380 × 191 window.
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  QCOMPARE(window_->pos(), QPoint(screen.left() + (screen.width() - 380) / 2,
                                  screen.top() + (screen.height() - 191) / 2));
}

void MainWindowTest::StartButtonHasTheFocusAtFirst() {
  QCOMPARE(QApplication::focusWidget(), StartButton());
}

void MainWindowTest::TabCyclesThroughTheFields_data() {
  QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
  QTest::addColumn<QList<int>>("visited");
  QTest::newRow("Tab") << Qt::KeyboardModifiers(Qt::NoModifier)
                       << QList<int>{kStatusFieldId, kPrefixFieldId,
                                     kStartNumberFieldId, kStartButtonId};
  QTest::newRow("Shift+Tab") << Qt::KeyboardModifiers(Qt::ShiftModifier)
                             << QList<int>{kStartNumberFieldId, kPrefixFieldId,
                                           kStatusFieldId, kStartButtonId};
}

void MainWindowTest::TabCyclesThroughTheFields() {
  QFETCH(Qt::KeyboardModifiers, modifiers);
  QFETCH(QList<int>, visited);
  for (int id : visited) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, modifiers);
    QCOMPARE(QApplication::focusWidget(), window_->Control(ControlId(id)));
  }
}

void MainWindowTest::StartNumberFieldFiltersTyping_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QString>("shown");
  QTest::newRow("letters") << "abcXYZ"
                           << "";
  QTest::newRow("digits and minus") << "12-"
                                    << "12-";
  QTest::newRow("mixed") << "a1b2-c3"
                         << "12-3";
  QTest::newRow("other signs and space") << "+., ="
                                         << "";
  QTest::newRow("backspace still edits") << "123\b"
                                         << "12";
}

void MainWindowTest::StartNumberFieldFiltersTyping() {
  QFETCH(QString, typed);
  QFETCH(QString, shown);
  QLineEdit* field = Field(kStartNumberFieldId);
  field->setFocus();
  QTest::keyClicks(field, typed);
  QCOMPARE(field->text(), shown);
}

void MainWindowTest::StartNumberFieldFiltersInputMethodText() {
  QLineEdit* field = Field(kStartNumberFieldId);
  field->setFocus();
  QInputMethodEvent composed;
  composed.setCommitString(QStringLiteral("1二３-4"));
  QApplication::sendEvent(field, &composed);
  QCOMPARE(field->text(), QStringLiteral("1-4"));
}

void MainWindowTest::PasteIntoStartNumberFieldIsNotFiltered() {
  QLineEdit* field = Field(kStartNumberFieldId);
  field->setFocus();
  QTest::keyClicks(field, "7");
  QApplication::clipboard()->setText(QStringLiteral("abc"));
  QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(field->text(), QStringLiteral("7abc"));
}

void MainWindowTest::EscapeClosesTheWindow_data() {
  QTest::addColumn<int>("focused");
  QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
  QTest::addColumn<bool>("closes");
  const Qt::KeyboardModifiers none = Qt::NoModifier;
  QTest::newRow("on Start") << int(kStartButtonId) << none << true;
  QTest::newRow("on status") << int(kStatusFieldId) << none << true;
  QTest::newRow("on prefix") << int(kPrefixFieldId) << none << true;
  QTest::newRow("on start number") << int(kStartNumberFieldId) << none << true;
  QTest::newRow("with Shift")
      << int(kStartButtonId) << Qt::KeyboardModifiers(Qt::ShiftModifier)
      << false;
  QTest::newRow("with Ctrl")
      << int(kPrefixFieldId) << Qt::KeyboardModifiers(Qt::ControlModifier)
      << false;
  QTest::newRow("with Alt") << int(kStartNumberFieldId)
                            << Qt::KeyboardModifiers(Qt::AltModifier) << false;
}

void MainWindowTest::EscapeClosesTheWindow() {
  QFETCH(int, focused);
  QFETCH(Qt::KeyboardModifiers, modifiers);
  QFETCH(bool, closes);
  QWidget* control = window_->Control(ControlId(focused));
  control->setFocus();
  QCOMPARE(QApplication::focusWidget(), control);
  QTest::keyClick(control, Qt::Key_Escape, modifiers);
  QCOMPARE(window_->isVisible(), !closes);
}

void MainWindowTest::EnterStartsNothing_data() {
  QTest::addColumn<int>("focused");
  QTest::addColumn<int>("key");
  QTest::newRow("Return on Start")
      << int(kStartButtonId) << int(Qt::Key_Return);
  QTest::newRow("Enter on Start") << int(kStartButtonId) << int(Qt::Key_Enter);
  QTest::newRow("Return in a field")
      << int(kStartNumberFieldId) << int(Qt::Key_Return);
}

void MainWindowTest::EnterStartsNothing() {
  QFETCH(int, focused);
  QFETCH(int, key);
  WriteFile(kDefaultPrefix + "1.mp3", SegmentBytes(1));
  Field(kStartNumberFieldId)->setText("1");
  QWidget* control = window_->Control(ControlId(focused));
  control->setFocus();
  QTest::keyClick(control, Qt::Key(key));
  // A click starts the job at once, so none has been started here.
  QVERIFY(!window_->IsMergeRunning());
  QVERIFY(window_->isVisible());
  QCOMPARE(Field(kStatusFieldId)->text(), QString());
}

void MainWindowTest::ClickOnStartRunsTheJob_data() {
  QTest::addColumn<QString>("start_number");
  QTest::addColumn<QList<int>>("present");  // segment numbers on disk
  QTest::addColumn<QList<int>>("joined");
  QTest::addColumn<QString>("ending");
  const QString completed = FromUtf8(kCompletedText);
  QTest::newRow("series from 1")
      << "1" << QList<int>{1, 2, 3} << QList<int>{1, 2, 3} << completed;
  QTest::newRow("series from a negative number")
      << "-1" << QList<int>{-1, 0, 1} << QList<int>{-1, 0, 1} << completed;
  QTest::newRow("gap ends the series")
      << "2" << QList<int>{2, 3, 5} << QList<int>{2, 3} << completed;
  QTest::newRow("nothing at the start number")
      << "4" << QList<int>{1, 2, 3} << QList<int>{} << FromUtf8(kNoSegmentText);
}

void MainWindowTest::ClickOnStartRunsTheJob() {
  QFETCH(QString, start_number);
  QFETCH(QList<int>, present);
  QFETCH(QList<int>, joined);
  QFETCH(QString, ending);
  for (int number : present)
    WriteFile(kDefaultPrefix + QString::number(number) + ".mp3",
              SegmentBytes(number));
  QSignalSpy finished(window_.get(), &MainWindow::MergeFinished);
  RecordStatusTexts();

  QTest::keyClicks(Field(kStartNumberFieldId), start_number);
  QTest::mouseClick(StartButton(), Qt::LeftButton);
  QVERIFY(finished.wait(10000));

  QStringList expected_texts;
  QByteArray expected_output;
  for (int number : joined) {
    expected_texts << Progress(kDefaultPrefix + QString::number(number) +
                               ".mp3");
    expected_output += SegmentBytes(number);
  }
  expected_texts << ending;
  QCOMPARE(status_texts_, expected_texts);
  QCOMPARE(Field(kStatusFieldId)->text(), ending);
  QCOMPARE(QFile::exists(PathOf(kOutputName)), !joined.isEmpty());
  QCOMPARE(ReadFile(kOutputName), expected_output);
}

void MainWindowTest::ClickDuringAJobIsIgnored() {
  WriteFile("s1.mp3", SegmentBytes(1));
  WriteFile("s2.mp3", SegmentBytes(2));
  Field(kPrefixFieldId)->setText("s");
  Field(kStartNumberFieldId)->setText("1");
  QSignalSpy finished(window_.get(), &MainWindow::MergeFinished);
  RecordStatusTexts();

  // The job cannot get past its first read of a field before this thread
  // serves it, so the second click always falls within the job.
  QTest::mouseClick(StartButton(), Qt::LeftButton);
  QVERIFY(window_->IsMergeRunning());
  QTest::mouseClick(StartButton(), Qt::LeftButton);
  QVERIFY(finished.wait(10000));
  QTest::qWait(300);  // time enough for a second job to show itself
  QCOMPARE(finished.count(), 1);
  const QStringList one_job{Progress("s1.mp3"), Progress("s2.mp3"),
                            FromUtf8(kCompletedText)};
  QCOMPARE(status_texts_, one_job);
  QCOMPARE(ReadFile(kOutputName), SegmentBytes(1) + SegmentBytes(2));

  // Once the job has ended, the next click starts another.
  QTest::mouseClick(StartButton(), Qt::LeftButton);
  QVERIFY(finished.wait(10000));
  QCOMPARE(status_texts_, one_job + one_job);
}

void MainWindowTest::PrefixEditedDuringAJobIsSeen() {
  WriteFile("a1.mp3", SegmentBytes(1));
  WriteFile("a2.mp3", SegmentBytes(2));
  WriteFile("b2.mp3", SegmentBytes(12));
  WriteFile("b3.mp3", SegmentBytes(13));
  Field(kPrefixFieldId)->setText("a");
  Field(kStartNumberFieldId)->setText("1");
  // The user edits the prefix as soon as the first segment is reported.
  connect(Field(kStatusFieldId), &QLineEdit::textChanged, this,
          [this](const QString& text) {
            if (text == Progress("a1.mp3")) Field(kPrefixFieldId)->setText("b");
          });
  QSignalSpy finished(window_.get(), &MainWindow::MergeFinished);
  RecordStatusTexts();

  QTest::mouseClick(StartButton(), Qt::LeftButton);
  QVERIFY(finished.wait(10000));
  QCOMPARE(status_texts_,
           QStringList({Progress("a1.mp3"), Progress("b2.mp3"),
                        Progress("b3.mp3"), FromUtf8(kCompletedText)}));
  QCOMPARE(ReadFile(kOutputName),
           SegmentBytes(1) + SegmentBytes(12) + SegmentBytes(13));
}

void MainWindowTest::JobOfADestroyedWindowTouchesNothing() {
  // Two series: the one the fields name, and one that empty field texts
  // would name. A job that went on with either would write an output.
  WriteFile(kDefaultPrefix + "1.mp3", SegmentBytes(1));
  WriteFile("0.mp3", SegmentBytes(2));
  WriteFile("1.mp3", SegmentBytes(3));
  const QStringList before = QDir(directory_->path()).entryList(QDir::Files);
  Field(kStartNumberFieldId)->setText("1");

  QTest::mouseClick(StartButton(), Qt::LeftButton);
  QVERIFY(window_->IsMergeRunning());
  window_.reset();  // before this thread could serve the job's first read
  QTest::qWait(500);
  QCOMPARE(QDir(directory_->path()).entryList(QDir::Files), before);
}

void MainWindowTest::FatalErrorShowsABoxThenExitsWithMinusOne_data() {
  QTest::addColumn<QString>("mode");
  QTest::newRow("on the GUI thread") << FromUtf8(kFatalErrorOnGuiThread);
  QTest::newRow("on a job's thread") << FromUtf8(kFatalErrorOnJobThread);
}

void MainWindowTest::FatalErrorShowsABoxThenExitsWithMinusOne() {
  QFETCH(QString, mode);
  QProcess child;
  child.start(QCoreApplication::applicationFilePath(), {mode});
  QVERIFY(child.waitForFinished(10000));
  QCOMPARE(child.exitStatus(), QProcess::NormalExit);
  QCOMPARE(child.exitCode(), 255);  // -1 as the shell sees it
  const QString box_seen = QString::number(int(QMessageBox::Critical)) + " " +
                           FromUtf8(OutOfMemoryMessage(123)) + "\n";
  QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()), box_seen);
}

}  // namespace segjoin

int main(int argc, char** argv) {
  for (std::string_view mode :
       {segjoin::kFatalErrorOnGuiThread, segjoin::kFatalErrorOnJobThread}) {
    if (argc == 2 && argv[1] == mode)
      return segjoin::RunFatalErrorChild(argc, argv, mode);
  }
  QApplication application(argc, argv);
  segjoin::MainWindowTest test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}
#include "main_window_test.moc"
