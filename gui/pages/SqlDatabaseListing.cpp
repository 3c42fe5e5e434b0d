#include "gui/pages/SqlDatabaseListing.h"

#include <QMetaObject>
#include <atomic>
#include <thread>
#include <vector>

#include "engine/mssql/SqlOperator.h"

namespace zov::gui {

struct SqlDatabaseListing::Listing {
    CSQLOperator sql;
    std::atomic<bool> ended{false};
    // Last: joined before the operator it uses goes.
    std::jthread thread;
};

SqlDatabaseListing::SqlDatabaseListing(QObject* parent) : QObject(parent) {}

SqlDatabaseListing::~SqlDatabaseListing() { Stop(); }

void SqlDatabaseListing::Start(const std::string& instance) {
    Stop();
    current_ = std::make_unique<Listing>();
    Listing* listing = current_.get();
    const int generation = generation_;
    listing->thread = std::jthread([this, listing, instance, generation] {
        std::vector<std::string> found;
        const bool succeeded = listing->sql.ListDatabases(instance, found, false);
        QStringList names;
        if (succeeded) {
            for (const std::string& name : found) names.append(QString::fromStdString(name));
        }
        const QString message = QString::fromStdString(listing->sql.message());
        QMetaObject::invokeMethod(
            this,
            [this, generation, succeeded, names, message] {
                if (generation == generation_) emit listed(succeeded, names, message);
            },
            Qt::QueuedConnection);
        listing->ended = true;
    });
}

void SqlDatabaseListing::Stop() {
    ++generation_;
    if (!current_) return;
    current_->sql.Cancel();
    current_.reset();
}

bool SqlDatabaseListing::Running() const { return current_ && !current_->ended; }

}  // namespace zov::gui
