// The program's only window: the prefix and start-number fields, the status
// field the merge job reports into, their captions, and the Start button.
#ifndef SEGJOIN_UI_QT_MAIN_WINDOW_H_
#define SEGJOIN_UI_QT_MAIN_WINDOW_H_

#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "ui/layout.h"

class QLineEdit;
class QPushButton;

namespace segjoin {

class JobFields;

class MainWindow : public QWidget {
  Q_OBJECT

 public:
  // The client area a 380 × 191 window with a fixed frame has on Windows.
  static constexpr int kClientWidth = 374;
  static constexpr int kClientHeight = 162;

  // Jobs started from this window work on the files in `run_directory`.
  explicit MainWindow(std::string run_directory, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The control that the layout table lists under `id`.
  QWidget* Control(ControlId id) const;

  // Whether a job started here has not ended yet.
  bool IsMergeRunning() const { return running_job_ != nullptr; }

 signals:
  // A job started here has ended, whatever its outcome.
  void MergeFinished();

 private:
  friend class JobFields;

  void StartMerge();
  void OnMergeEnded();
  void ShowStatus(const QString& text);

  const std::string run_directory_;
  // In the order of the layout table.
  std::array<QWidget*, kMainWindowControls.size()> controls_{};
  QLineEdit* start_number_field_ = nullptr;
  QLineEdit* prefix_field_ = nullptr;
  QLineEdit* status_field_ = nullptr;
  QPushButton* start_button_ = nullptr;
  // The running job's view of the fields; null while no job runs.
  std::shared_ptr<JobFields> running_job_;
};

}  // namespace segjoin

#endif  // SEGJOIN_UI_QT_MAIN_WINDOW_H_
