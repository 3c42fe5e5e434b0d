#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "platform/FileLock.h"

class QLocalServer;

// One running copy of the program per program folder: "run/stowmeran.lock" held for the life of the process,
// and a local socket in "run/" through which a later start asks the running copy to raise its window.
namespace zov::gui {

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    enum class Claim {
        First,          // this copy holds the lock
        RaisedOther,    // another copy runs and raised its window: end with 0
        OtherNotReady,  // another copy runs but shows no window yet (or did not answer): end with -1
        Failed,         // run/ or the lock file cannot be used
    };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock of the program folder's run/; when another copy holds it, asks that copy to raise its
    // window (bounded wait for the answer).
    Claim ClaimFolder(const std::string& programDir);
    // Once the window exists: answers later starts through the socket, each raise request as raiseRequested.
    // False when the socket cannot be listened on (later starts then end with -1).
    bool Listen();

    // The socket file of a program folder.
    static std::string SocketPath(const std::string& programDir);

  signals:
    void raiseRequested();

  private:
    void Answer();

    FileLock lock_;
    std::string programDir_;
    QLocalServer* server_ = nullptr;
};

// The lock of the copy that holds its program folder (HeldInstanceLock: the notice slots replace socket
// files that a killed copy left only under it); nullptr when no SingleInstance holds one.
const FileLock* HeldInstanceLock();

}  // namespace zov::gui
