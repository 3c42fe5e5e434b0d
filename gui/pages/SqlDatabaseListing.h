#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <string>

namespace zov::gui {

// Lists the databases of a SQL Server instance for an editor (CSQLOperator::ListDatabases, without the
// system databases), on a thread of its own, one listing at a time. A new listing, Stop and the end of the
// object abandon the running one at once: its statement is cancelled, its thread (which owns what it uses)
// ends by itself within the engine's login time-out, and its result is dropped. The result of the current
// listing reaches the window thread through a queued call; a listing that failed gives no names, only why.
class SqlDatabaseListing : public QObject {
    Q_OBJECT

  public:
    explicit SqlDatabaseListing(QObject* parent);
    ~SqlDatabaseListing() override;

    void Start(const std::string& instance);
    void Stop();
    bool Running() const;

    // The listing threads of the process still running, abandoned ones included.
    static int Threads();
    // Waits at most bound for every listing thread to end (the process's exit does); true when none runs.
    static bool WaitForThreads(std::chrono::milliseconds bound);

  signals:
    void listed(bool succeeded, const QStringList& names, const QString& message);

  private:
    struct Listing;
    // Emits the result of the listing started as generation when it is still the current one.
    void Deliver(int generation, bool succeeded, const QStringList& names, const QString& message);

    std::shared_ptr<Listing> current_;
    int generation_ = 0;
};

}  // namespace zov::gui
