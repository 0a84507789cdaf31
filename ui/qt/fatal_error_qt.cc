// The fatal-error path of the Qt program.
#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "ui/fatal_error.h"

namespace segjoin {

[[noreturn]] void FatalError(const std::string& message) {
  // Also on standard error, for a user who started the program from a
  // terminal and for when no box can be shown.
  std::fprintf(stderr, "segjoin: %s\n", message.c_str());
  // A box needs an application that is up: not one that failed while
  // starting (no display, say) or one already being torn down.
  QApplication* application = qApp;
  if (application != nullptr && !QCoreApplication::startingUp() &&
      !QCoreApplication::closingDown()) {
    // The GUI thread itself ends the process once the box is dismissed, so
    // nothing it runs afterwards (the event loop quitting as its last
    // window closes, say) can end it another way.
    const auto show_box_and_exit = [&message] {
      QMessageBox::critical(nullptr, QStringLiteral("错误"),
                            QString::fromStdString(message));
      std::_Exit(-1);
    };
    // Widgets live on the GUI thread only; another thread asks it and waits.
    if (QThread::currentThread() == application->thread())
      show_box_and_exit();
    else
      QMetaObject::invokeMethod(application, show_box_and_exit,
                                Qt::BlockingQueuedConnection);
  }
  // Nothing else is released or flushed: the process ends here and now.
  std::_Exit(-1);
}

}  // namespace segjoin
