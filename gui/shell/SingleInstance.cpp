#include "gui/shell/SingleInstance.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <atomic>
#include <cerrno>

#include "platform/ProgramDir.h"

namespace zov::gui {

namespace {

constexpr const char* kLockName = "stowmeran.lock";
constexpr const char* kSocketName = "stowmeran.sock";
constexpr QByteArrayView kRaiseRequest = "raise\n";
constexpr QByteArrayView kRaisedAnswer = "raised\n";
constexpr int kAnswerWaitMs = 3000;

std::atomic<const FileLock*> heldLock{nullptr};

bool AskToRaise(const std::string& socketPath) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(socketPath));
    if (!socket.waitForConnected(kAnswerWaitMs)) return false;
    socket.write(kRaiseRequest.data(), kRaiseRequest.size());
    if (!socket.waitForBytesWritten(kAnswerWaitMs)) return false;
    QByteArray answer;
    while (answer.size() < kRaisedAnswer.size() && socket.waitForReadyRead(kAnswerWaitMs))
        answer += socket.read(kRaisedAnswer.size() - answer.size());
    return answer == kRaisedAnswer;
}

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() {
    if (heldLock.load() == &lock_) heldLock.store(nullptr);
    if (server_ != nullptr) server_->close();
}

std::string SingleInstance::SocketPath(const std::string& programDir) {
    return RunFolderOf(programDir) + kSocketName;
}

SingleInstance::Claim SingleInstance::ClaimFolder(const std::string& programDir) {
    programDir_ = programDir;
    const std::optional<std::string> run = PrivateRunFolder(programDir);
    if (!run) return Claim::Failed;
    lock_ = FileLock::TryAcquire(*run + kLockName, FileLock::Mode::Exclusive);
    if (lock_.held()) {
        heldLock.store(&lock_);
        return Claim::First;
    }
    if (errno != EWOULDBLOCK) return Claim::Failed;
    return AskToRaise(SocketPath(programDir)) ? Claim::RaisedOther : Claim::OtherNotReady;
}

bool SingleInstance::Listen() {
    if (!lock_.held() || server_ != nullptr) return false;
    const QString path = QString::fromStdString(SocketPath(programDir_));
    // Under the lock no other copy listens: a socket file there was left by one that was killed.
    QLocalServer::removeServer(path);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::Answer);
    if (server_->listen(path)) return true;
    delete server_;
    server_ = nullptr;
    return false;
}

void SingleInstance::Answer() {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            if (!client->canReadLine()) {
                if (client->bytesAvailable() > kRaiseRequest.size()) client->abort();
                return;
            }
            if (client->readLine(kRaiseRequest.size() + 1) == kRaiseRequest) {
                emit raiseRequested();
                client->write(kRaisedAnswer.data(), kRaisedAnswer.size());
                client->flush();
            }
            client->disconnectFromServer();
        });
    }
}

const FileLock* HeldInstanceLock() { return heldLock.load(); }

}  // namespace zov::gui
