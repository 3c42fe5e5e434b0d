#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

namespace zov::gui {

// Lists the databases of a SQL Server instance for an editor (CSQLOperator::ListDatabases, without the
// system databases), on a thread of its own, one listing at a time. A new listing, Stop and the end of the
// object cancel the running one's statement and wait for its thread, which the engine's login time-out
// bounds. The result reaches the window thread through a queued call; that of a stopped listing never
// does, and a listing that failed gives no names, only why.
class SqlDatabaseListing : public QObject {
    Q_OBJECT

  public:
    explicit SqlDatabaseListing(QObject* parent);
    ~SqlDatabaseListing() override;

    void Start(const std::string& instance);
    void Stop();
    bool Running() const;

  signals:
    void listed(bool succeeded, const QStringList& names, const QString& message);

  private:
    struct Listing;
    std::unique_ptr<Listing> current_;
    int generation_ = 0;
};

}  // namespace zov::gui
