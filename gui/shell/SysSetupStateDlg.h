#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>
#include <chrono>

class QLabel;
class QLineEdit;

namespace zov::gui {

// The "系统状态" sub-page: the current backup activity, today's result counts, and the archiver path and
// cache folder (temp.ini [SYSTEM] "rar_path", [CACHE] "Path"). Controls carry their ids as object names.
class CSysSetupStateDlg : public QWidget {
    Q_OBJECT

  public:
    explicit CSysSetupStateDlg(QWidget* parent);

    QString rarPath() const { return rarPath_; }
    QString cacheFolder() const { return cacheFolder_; }

  public slots:
    // One state message: a text shows for at least 1 s; "" shows the idle or the error line by whether the
    // service program runs.
    void ShowState(const QString& text);
    // Today's counts (every 5 s).
    void ShowTodayCounts();
    // The cache space warning (once, 1 s after the page opened).
    void WarnCacheSpace();
    // Validates and saves the archiver path and the cache folder.
    void Save();

  private:
    void CheckCacheFolder();
    void ShowMembers();
    void TakeEdits();
    void BrowseRar();
    void OpenRarFolder();
    void BrowseCache();
    void OpenCache();
    void DownloadRar();
    // Writes the cache folder as entered, or as program folder + "cache/" when it names the program folder.
    bool WriteCacheFolder(bool asEntered);

    QString rarPath_;
    QString cacheFolder_;
    QLabel* counts_;
    QLabel* state_;
    QLineEdit* rarEdit_;
    QLineEdit* cacheEdit_;
    QTimer countsTimer_;
    QTimer spaceTimer_;
    QTimer idleTimer_;
    std::chrono::steady_clock::time_point textShownAt_{};
};

}  // namespace zov::gui
