// segjoin: joins a numbered series of MP3 segments that lie beside the
// program into one file.
#include <QApplication>
#include <cstdlib>

#include "merge/platform.h"
#include "ui/fatal_error.h"
#include "ui/qt/main_window.h"

namespace {

QtMessageHandler qt_message_handler = nullptr;

// Qt ends the process with abort() on a fatal message, for example when it
// cannot reach the display and so cannot create the window. Such a failure
// takes the program's own fatal-error path to exit code -1.
void HandleQtMessage(QtMsgType type, const QMessageLogContext& context,
                     const QString& message) {
  if (type != QtFatalMsg) {
    if (qt_message_handler != nullptr)
      qt_message_handler(type, context, message);
    return;
  }
  segjoin::FatalError(message.toStdString());
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::optional<std::string> run_directory = segjoin::RunDirectory();
  // The program works in its own directory. Jobs build absolute paths from
  // the run directory, so they do not depend on this.
  if (run_directory) segjoin::ChangeCurrentDirectory(*run_directory);

  qt_message_handler = qInstallMessageHandler(HandleQtMessage);
  // Qt takes its own options from the command line; the program reads none.
  QApplication application(argc, argv);
  // Without it, jobs would look for segments in some other folder.
  if (!run_directory) segjoin::FatalError(segjoin::kNoRunDirectoryMessage);
  segjoin::MainWindow window(*run_directory);
  window.show();
  window.raise();
  window.activateWindow();
  application.exec();
  // The window is closed. A job still running is abandoned where it stands:
  // ending now, rather than returning from main, destroys nothing it might
  // still be using.
  std::_Exit(0);
}
