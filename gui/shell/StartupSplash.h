#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <functional>
#include <thread>

class QLabel;
class QProgressBar;

namespace zov::gui {

// The start-up splash: files the runs at once that an earlier program left unfinished as interrupted,
// checks and repairs the backup service, records the product keys in config.ini and
// loads the task store, while a progress bar and a status line move. The sequence runs on a thread of its
// own; the splash shows its steps and boxes on the window thread and ends itself when the sequence ends.
class CStartupDlg : public QDialog {
    Q_OBJECT

  public:
    enum class Outcome { Running, Done, LoadFailed, TimedOut };
    // Loads the task store; true when it was read.
    using Loader = std::function<bool()>;

    // The longest wait for the task store: this many polls, this far apart.
    static constexpr int kLoadPolls = 250;
    static constexpr int kLoadPollMs = 40;

    // loader: the task store load (default: TaskStore() from task.db of the program folder).
    explicit CStartupDlg(QWidget* parent = nullptr, Loader loader = {});
    // Stops the sequence and waits for it; waits for a load still running.
    ~CStartupDlg() override;

    // Shows the splash modally until the sequence ended; its outcome. On TimedOut the load still runs: the
    // caller ends the process without destroying the task store.
    Outcome Run();
    Outcome outcome() const { return outcome_; }

  signals:
    // Every status text shown, in order.
    void statusShown(const QString& text);

  protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    enum LoadState { kLoadPending, kLoaded, kLoadFailed };

    void RunSequence(const std::stop_token& stop);
    Outcome WaitForLoad(const std::stop_token& stop);
    void RepairStep(const std::stop_token& stop);
    void RecordProductKeys();
    // From the sequence thread: queued to the window thread.
    void SetStatus(const QString& text);
    void SetStartingStatus(int percent);
    void SetProgress(int value);
    void Finish(Outcome outcome);
    // From the sequence thread: waits until the window thread showed the box.
    void ShowErrorBox(const QString& text, const QString& caption);

    Loader loader_;
    QProgressBar* progress_;
    QLabel* status_;
    QLabel* version_;
    Outcome outcome_ = Outcome::Running;
    std::atomic<int> loadState_{kLoadPending};
    bool started_ = false;
    std::jthread loadThread_;
    std::jthread sequence_;
};

}  // namespace zov::gui
