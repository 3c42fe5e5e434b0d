#pragma once

#include <QObject>
#include <functional>
#include <set>
#include <string>

#include "engine/tasks/TaskInfo.h"
#include "gui/restore/RestoreRequests.h"
#include "gui/restore/RestoreThreads.h"

class QWidget;

namespace zov::gui {

// The main window's restores: each request runs on a thread of its own, beside the others, on its own copy
// of the request, and ends in a box over the main window, centred on it. A database that is being restored is
// not restored again until that restore ends: the second request ends at once in a box that says so. The
// password of an archive is asked again through AskPassword while it is wrong, each restore for itself. The
// main window owns the engine (CStowmeranDlg::restoreEngine()); its end stops the restores and waits for them
// a bounded time.
//
// Call the slots on the window thread. From elsewhere (a dialog that closes, a worker thread) post the
// request, which travels as a copy:
//     QMetaObject::invokeMethod(engine, [engine, request] { engine->RestoreMySql(request); },
//                               Qt::QueuedConnection);
class RestoreEngine : public QObject {
    Q_OBJECT

  public:
    explicit RestoreEngine(QWidget* window);

    // The engine of the program's main window: the one a top-level window holds; nullptr when none does.
    static RestoreEngine* OfMainWindow();

    // Restores that have not ended.
    int Running() const { return threads_.Running(); }
    // Whether a restore of the request's database runs. Names are compared with ASCII letters folded, a
    // SQL Server's default instance under either of its names.
    bool IsRestoring(const SqlRestoreRequest& request) const;
    bool IsRestoring(const MySqlRestoreRequest& request) const;
    // What a database restore that cannot start while another one of the database runs says.
    static std::string RestoringText(const std::string& database);

  public slots:
    // The request's items of the stored task request.taskId (its filter set applies to archive bases).
    void RestoreFiles(zov::gui::FileRestoreRequest request);
    // Each item of the batch with its own options; the records name the task taskId.
    void RestoreFileBatch(int taskId, zov::gui::RestoreBatch batch);
    // A SQL Server backup archive into its database (RestoreSqlServerDatabase).
    void RestoreSqlServer(zov::gui::SqlRestoreRequest request);
    // A MySQL backup archive into its database (RestoreMySqlDatabase).
    void RestoreMySql(zov::gui::MySqlRestoreRequest request);

  private:
    // The stored task taskId; a task of that id with nothing else when the store does not hold it.
    static TaskInfo StoredTask(int taskId);
    // Runs job with the archiver's path on a thread of its own; its box goes over the main window. A
    // database restore holds its database's key while it runs.
    void Run(const std::string& database,
             std::function<RestoreBox(const std::string&, const JobContext&)> job);

    QWidget* window_;
    std::set<std::string> restoring_;  // the keys of the databases being restored; window thread only
    RestoreThreads threads_;
};

}  // namespace zov::gui
