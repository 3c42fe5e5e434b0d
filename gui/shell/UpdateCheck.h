#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <atomic>
#include <string>
#include <thread>

class QWidget;

namespace zov::gui {

// The banner colour of a code of the update reply's "ads" entries ("1" red ... "7" and others black).
QColor ColorFromCode(const QString& code);

// The update check of the main window: a worker asks the update servers (the usage report as its module),
// the window thread reads the reply, shows what it found when the check was requested, hands the banner
// entries on and clears the usage counters once the servers took them.
class UpdateCheck : public QObject {
    Q_OBJECT

  public:
    // Boxes are shown over owner (nullptr: none).
    explicit UpdateCheck(QWidget* owner = nullptr);
    // Stops a running check and waits for its worker.
    ~UpdateCheck() override;

    // Starts one check after 2 s, unless one runs; verbose: a requested check that reports its result.
    void Start(bool verbose);
    bool running() const { return running_.load(); }
    // The first start of the installation: the request names the operating system until a check succeeds.
    void SetFirstStart(bool firstStart) { firstStart_.store(firstStart); }
    bool firstStart() const { return firstStart_.load(); }

    // Interprets one reply of the update client on the window thread (what a finished check does).
    void Finish(std::string reply, bool verbose);

    // The product page (maker site + "/?f=qelzov") and the maker's site; each counts one AdvLink.
    void OpenProductPage();
    void OpenMakerSite();

  signals:
    // The reply's "ads" value, whatever its status.
    void bannerText(const QString& adsText);
    // A check began (true) or ended (false): the main window disables its check control meanwhile.
    void checking(bool active);

  private:
    QWidget* owner_;
    std::atomic<bool> running_{false};
    std::atomic<bool> firstStart_{false};
    std::jthread worker_;
};

}  // namespace zov::gui
