#include "gui/pages/SqlDatabaseListing.h"

#include <QMetaObject>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/mssql/SqlOperator.h"
#include "engine/mssql/SqlServerConnection.h"

namespace zov::gui {
namespace {

// The listing threads of the process. Never destroyed: a thread may outlive the wait at exit.
struct ListingThreads {
    std::mutex mutex;
    std::condition_variable ended;
    int running = 0;
};

ListingThreads& AllThreads() {
    static ListingThreads* const threads = new ListingThreads;
    return *threads;
}

void ThreadEnded() {
    ListingThreads& threads = AllThreads();
    std::lock_guard lock(threads.mutex);
    --threads.running;
    threads.ended.notify_all();
}

// At exit, abandoned listings get their login time-out to end before the libraries they use go.
const struct ExitWait {
    ~ExitWait() { SqlDatabaseListing::WaitForThreads(std::chrono::seconds(kSqlServerLoginTimeout + 5)); }
} exitWait;

}  // namespace

// What a listing thread owns: the operator, and the object it reports to while the result is wanted.
struct SqlDatabaseListing::Listing {
    CSQLOperator sql;
    std::mutex mutex;
    SqlDatabaseListing* owner;  // null once abandoned
    bool ended = false;
};

SqlDatabaseListing::SqlDatabaseListing(QObject* parent) : QObject(parent) {}

SqlDatabaseListing::~SqlDatabaseListing() { Stop(); }

void SqlDatabaseListing::Start(const std::string& instance) {
    Stop();
    auto listing = std::make_shared<Listing>();
    listing->owner = this;
    current_ = listing;
    const int generation = ++generation_;
    {
        std::lock_guard lock(AllThreads().mutex);
        ++AllThreads().running;
    }
    try {
        std::thread([listing, instance, generation]() mutable {
            std::vector<std::string> found;
            const bool succeeded = listing->sql.ListDatabases(instance, found, false);
            QStringList names;
            if (succeeded) {
                for (const std::string& name : found) names.append(QString::fromStdString(name));
            }
            const QString message = QString::fromStdString(listing->sql.message());
            {
                std::lock_guard lock(listing->mutex);
                // Posted under the lock: the owner cannot go meanwhile, and a call it has not served when
                // it goes is dropped with it.
                if (SqlDatabaseListing* owner = listing->owner) {
                    QMetaObject::invokeMethod(
                        owner,
                        [owner, generation, succeeded, names, message] {
                            owner->Deliver(generation, succeeded, names, message);
                        },
                        Qt::QueuedConnection);
                }
                listing->ended = true;
            }
            // Its hold on the connection ends before it counts as ended.
            listing.reset();
            ThreadEnded();
        }).detach();
    } catch (const std::system_error& error) {
        ThreadEnded();
        listing->ended = true;
        const QString message = QString::fromLocal8Bit(error.what());
        QMetaObject::invokeMethod(
            this, [this, generation, message] { Deliver(generation, false, {}, message); },
            Qt::QueuedConnection);
    }
}

void SqlDatabaseListing::Deliver(int generation, bool succeeded, const QStringList& names,
                                 const QString& message) {
    if (current_ && generation == generation_) emit listed(succeeded, names, message);
}

void SqlDatabaseListing::Stop() {
    if (!current_) return;
    {
        std::lock_guard lock(current_->mutex);
        current_->owner = nullptr;
    }
    current_->sql.Cancel();
    current_.reset();
}

bool SqlDatabaseListing::Running() const {
    if (!current_) return false;
    std::lock_guard lock(current_->mutex);
    return !current_->ended;
}

int SqlDatabaseListing::Threads() {
    std::lock_guard lock(AllThreads().mutex);
    return AllThreads().running;
}

bool SqlDatabaseListing::WaitForThreads(std::chrono::milliseconds bound) {
    ListingThreads& threads = AllThreads();
    std::unique_lock lock(threads.mutex);
    return threads.ended.wait_for(lock, bound, [&] { return threads.running == 0; });
}

}  // namespace zov::gui
