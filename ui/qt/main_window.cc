#include "ui/qt/main_window.h"

#include <QGuiApplication>
#include <QIcon>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "merge/merge_job.h"
#include "ui/fatal_error.h"

namespace segjoin {

// Windows draws a fixed frame 3 pixels wide on each side (SM_CXFIXEDFRAME)
// and, in the Windows 10 style at 96 dpi, a title bar 23 pixels high
// (SM_CYCAPTION), so a window of 380 × 191 outside is 374 × 162 inside. The
// window manager draws the frame here, so the window asks for that inside
// size: it holds every control with the same margins, the Start button
// ending at x 360 and the status field at y 157.
static_assert(MainWindow::kClientWidth == kWindowOuterWidth - 2 * 3);
static_assert(MainWindow::kClientHeight == kWindowOuterHeight - 23 - 2 * 3);

// The window's fields as one merge job on another thread sees them. Each call
// is a request that the GUI thread serves while the job waits, so the job
// reads what the field shows at that very moment. Once the window is gone
// the job is abandoned where it stands: it never touches a field again.
class JobFields final : public FieldOperations {
 public:
  explicit JobFields(MainWindow& window) : window_(&window) {}

  std::string ReadStartNumberText() override {
    return Request([](MainWindow& window) {
      return window.start_number_field_->text().toStdString();
    });
  }

  std::string ReadPrefixText() override {
    return Request([](MainWindow& window) {
      return window.prefix_field_->text().toStdString();
    });
  }

  void SetStatusText(const std::string& text) override {
    Request([&text](MainWindow& window) {
      window.ShowStatus(QString::fromStdString(text));
      return std::string();
    });
  }

  // Job thread, as its last act: lets the window take the next click.
  void ReportEnded() {
    std::lock_guard lock(mutex_);
    if (window_ == nullptr) return;
    QMetaObject::invokeMethod(
        window_, [window = window_] { window->OnMergeEnded(); },
        Qt::QueuedConnection);
  }

  // GUI thread, as the window is destroyed.
  void WindowGone() {
    std::lock_guard lock(mutex_);
    window_ = nullptr;
    answered_.notify_all();
  }

 private:
  // Runs `serve` on the GUI thread and waits for its answer. The request is
  // posted while the lock keeps the window alive; should the window be
  // destroyed before serving it, Qt drops the request with the window's
  // other posted events and WindowGone() wakes the job.
  std::string Request(const std::function<std::string(MainWindow&)>& serve) {
    std::unique_lock lock(mutex_);
    if (window_ == nullptr) WaitForProcessEnd(lock);
    bool served = false;
    std::string answer;
    QMetaObject::invokeMethod(
        window_,
        [this, &serve, &served, &answer] {
          // window_ changes on this thread only, so it can be read unlocked.
          if (window_ == nullptr) return;
          std::string result;
          RunOrDieOnOutOfMemory([&] { result = serve(*window_); });
          std::lock_guard lock(mutex_);
          answer = std::move(result);
          served = true;
          answered_.notify_all();
        },
        Qt::QueuedConnection);
    answered_.wait(lock, [&] { return served || window_ == nullptr; });
    if (!served) WaitForProcessEnd(lock);
    return answer;
  }

  // The job's thread stays here, touching nothing, until the process ends.
  [[noreturn]] void WaitForProcessEnd(std::unique_lock<std::mutex>& lock) {
    for (;;) answered_.wait(lock);
  }

  std::mutex mutex_;
  std::condition_variable answered_;
  MainWindow* window_;  // null once the window is gone
};

namespace {

// Discards typed characters that a start number cannot hold. Only typing is
// filtered: a paste or a drop inserts its text as it is, so a number copied
// from elsewhere can be corrected in place.
class StartNumberField final : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    // Ctrl and Ctrl+Shift combinations are commands (Ctrl+V among them) that
    // the line edit never inserts as text.
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool is_command =
        modifiers == Qt::ControlModifier ||
        modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
    const QString typed = event->text();
    const QString kept = is_command ? typed : KeepAccepted(typed);
    if (kept == typed) {
      QLineEdit::keyPressEvent(event);
      return;
    }
    if (!kept.isEmpty()) insert(kept);
    event->accept();
  }

  // Text composed with an input method is typed text too.
  void inputMethodEvent(QInputMethodEvent* event) override {
    const QString kept = KeepAccepted(event->commitString());
    if (kept == event->commitString()) {
      QLineEdit::inputMethodEvent(event);
      return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(kept, event->replacementStart(),
                             event->replacementLength());
    QLineEdit::inputMethodEvent(&filtered);
  }

 private:
  static QString KeepAccepted(const QString& typed) {
    QString kept;
    for (char32_t character : typed.toUcs4()) {
      if (AcceptedInStartNumberField(character))
        kept += QString::fromUcs4(&character, 1);
    }
    return kept;
  }
};

QWidget* CreateControl(const ControlLayout& layout, QWidget* window) {
  const QString text =
      QString::fromUtf8(layout.text.data(), qsizetype(layout.text.size()));
  QWidget* control = nullptr;
  switch (layout.kind) {
    case ControlKind::kLabel: {
      // No background of its own: the caption sits on the window's.
      auto* label = new QLabel(text, window);
      label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      control = label;
      break;
    }
    case ControlKind::kEdit:
    case ControlKind::kDigitsEdit: {
      QLineEdit* edit = layout.kind == ControlKind::kDigitsEdit
                            ? new StartNumberField(window)
                            : new QLineEdit(window);
      edit->setText(text);
      edit->setAlignment(Qt::AlignCenter);
      edit->setCursorPosition(0);
      control = edit;
      break;
    }
    case ControlKind::kPushButton: {
      auto* button = new QPushButton(text, window);
      // Enter means nothing in this window, so no button is its default.
      button->setAutoDefault(false);
      control = button;
      break;
    }
  }
  if (layout.tab_position < 0) control->setFocusPolicy(Qt::NoFocus);
  control->setGeometry(layout.left, layout.top, layout.width, layout.height);
  return control;
}

}  // namespace

MainWindow::MainWindow(std::string run_directory, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      run_directory_(std::move(run_directory)) {
  setWindowTitle(QString());
  setWindowIcon(QIcon(QStringLiteral(":/segjoin.ico")));
  setFixedSize(kClientWidth, kClientHeight);
  // The frame goes where the Windows program puts its 380 × 191 one; the
  // window manager's frame is about as large, so the window sits centred.
  // Its real size is not known before the window is shown.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.left() + (area.width() - kWindowOuterWidth) / 2,
         area.top() + (area.height() - kWindowOuterHeight) / 2);
  }

  for (size_t i = 0; i < kMainWindowControls.size(); ++i)
    controls_[i] = CreateControl(kMainWindowControls[i], this);
  start_number_field_ = qobject_cast<QLineEdit*>(Control(kStartNumberFieldId));
  prefix_field_ = qobject_cast<QLineEdit*>(Control(kPrefixFieldId));
  status_field_ = qobject_cast<QLineEdit*>(Control(kStatusFieldId));
  start_button_ = qobject_cast<QPushButton*>(Control(kStartButtonId));

  std::vector<const ControlLayout*> tab_stops;
  for (const ControlLayout& layout : kMainWindowControls)
    if (layout.tab_position >= 0) tab_stops.push_back(&layout);
  std::ranges::sort(tab_stops, {}, &ControlLayout::tab_position);
  for (size_t i = 1; i < tab_stops.size(); ++i)
    setTabOrder(Control(tab_stops[i - 1]->id), Control(tab_stops[i]->id));
  start_button_->setFocus();

  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this),
          &QShortcut::activated, this, &QWidget::close);
  connect(start_button_, &QPushButton::clicked, this,
          [this] { RunOrDieOnOutOfMemory([this] { StartMerge(); }); });
}

MainWindow::~MainWindow() {
  // A job still running must not reach the fields destroyed here.
  if (running_job_) running_job_->WindowGone();
}

QWidget* MainWindow::Control(ControlId id) const {
  for (size_t i = 0; i < kMainWindowControls.size(); ++i)
    if (kMainWindowControls[i].id == id) return controls_[i];
  return nullptr;
}

void MainWindow::StartMerge() {
  // Two jobs at once would write the same files, so a click while one runs
  // does nothing.
  if (running_job_) return;
  auto fields = std::make_shared<JobFields>(*this);
  try {
    std::thread([fields, run_directory = run_directory_] {
      RunOrDieOnOutOfMemory([&] { MergeJob(*fields, run_directory).Run(); });
      fields->ReportEnded();
    }).detach();
  } catch (const std::system_error&) {
    return;  // no thread, no job: the next click tries again
  }
  running_job_ = std::move(fields);
}

void MainWindow::OnMergeEnded() {
  running_job_.reset();
  emit MergeFinished();
}

void MainWindow::ShowStatus(const QString& text) {
  status_field_->setText(text);
  // As after any new text, the box shows its beginning.
  status_field_->setCursorPosition(0);
}

}  // namespace segjoin
