#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <thread>

// The two notice listeners: the status lines of running jobs ("StateLog") and the notices that a log file
// got a new line ("UpdateLog"), each on a thread of its own, delivered as signals on the thread the
// listener object lives on (the window thread). Stop (or the destructor) ends and joins the thread.
namespace zov::gui {

// The log categories an update notice names: the file, SQL Server and MySQL log views.
inline constexpr int kFileLogCategory = 100;
inline constexpr int kSqlServerLogCategory = 101;
inline constexpr int kMySqlLogCategory = 102;

class StateLogListener : public QObject {
    Q_OBJECT

  public:
    explicit StateLogListener(QObject* parent = nullptr);
    ~StateLogListener() override;

    // Starts listening on the program folder's "StateLog" slot; false when already started. A slot another
    // reader holds is tried again every second.
    bool Start();
    // Ends the thread and waits for it (well under a second).
    void Stop();
    // True while the slot is bound, so that writers reach this listener.
    bool IsListening() const { return bound_; }

  signals:
    // One status line, "" for the end of a job. Each non-empty line stays at least a second before the
    // next message is delivered, so it can be read.
    void stateMessage(const QString& text);

  private:
    std::jthread thread_;
    std::atomic<bool> bound_{false};
};

class UpdateLogListener : public QObject {
    Q_OBJECT

  public:
    explicit UpdateLogListener(QObject* parent = nullptr);
    ~UpdateLogListener() override;

    // As StateLogListener::Start, on the "UpdateLog" slot.
    bool Start();
    void Stop();
    bool IsListening() const { return bound_; }

  signals:
    // A log of that category (100, 101 or 102) got new lines; the notices that arrived together give one
    // signal per category.
    void logChanged(int category);

  private:
    std::jthread thread_;
    std::atomic<bool> bound_{false};
};

// The categories named by a batch of update notices ("<cmd>N</cmd>", the category is N's low byte), each
// of 100-102 once, in the order of first appearance; other notices are ignored.
std::vector<int> ChangedLogCategories(const std::vector<std::string>& notices);

}  // namespace zov::gui
