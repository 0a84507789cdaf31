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
  if (QApplication* application = qApp) {
    const auto show_box = [&message] {
      QMessageBox::critical(nullptr, QStringLiteral("错误"),
                            QString::fromStdString(message));
    };
    // Widgets live on the GUI thread only; another thread asks it and waits.
    if (QThread::currentThread() == application->thread())
      show_box();
    else
      QMetaObject::invokeMethod(application, show_box,
                                Qt::BlockingQueuedConnection);
  }
  // Nothing else is released or flushed: the process ends here and now.
  std::_Exit(-1);
}

}  // namespace segjoin
