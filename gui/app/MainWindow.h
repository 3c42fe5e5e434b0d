#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <stop_token>
#include <thread>

#include "gui/shell/NoticeListeners.h"

class QLabel;
class QTimer;

namespace zov::gui {

class CButtonST;
class RestoreEngine;
class UpdateCheck;

// The main window: four pages switched by tab buttons on the left (system settings, files, SQL Server,
// MySQL), the rotating banner of links, the maker's links and the update check. Its start-up does the
// housekeeping that needs a window; closing it ends the program.
class CStowmeranDlg : public QWidget {
    Q_OBJECT

  public:
    enum class Page { Settings, Files, SqlServer, MySql };
    static constexpr int kBannerIntervalMs = 4000;
    static constexpr int kRarPollMs = 1000;

    explicit CStowmeranDlg(QWidget* parent = nullptr);
    // Stops the listener, the update check, the cache clean-up and the restores and waits for them (the
    // restores a bounded time).
    ~CStowmeranDlg() override;

    // Empties the banner list and fills it from the reply's "ads" text (entries split at "{#}", pieces
    // shorter than 8 characters dropped); the rotation starts again at the head. The number of entries.
    int SetBannerEntries(const QString& adsText);
    // A later start of the program asks for this window: restored when minimised, raised and activated.
    void RaiseFromOtherStart();
    // The banner timer's step: shows the next entry of the list (its head after the last one), or the
    // default banner when the list is empty.
    void RotateBanner();

    Page currentPage() const { return current_; }
    QWidget* page(Page which) const { return pages_[static_cast<int>(which)]; }
    // Log-change notices for the log views of the pages.
    UpdateLogListener& updateLog() { return updateLog_; }
    // Where the restore dialogs post their requests.
    RestoreEngine& restoreEngine() { return *restoreEngine_; }
    QString bannerText() const { return bannerText_; }
    QString bannerLink() const { return bannerLink_; }
    QColor bannerColor() const { return bannerColor_; }

  signals:
    // The window closed and saved what it had to save; the program ends.
    void closed();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Clicks on the link texts.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    void SetUpTabButton(CButtonST* button, int icon, const QString& tooltip);
    void StartUp();
    void ResetDailySections();
    void SetDefaultCacheFolder();
    void ReadSetupFlag();
    void CheckRarAtStart();
    void CreateLogFolders();
    void StartCacheCleanUp();

    void ShowPage(Page target, CButtonST* tab);
    void ShowArchiverPage(Page target, CButtonST* tab);
    void PollArchiver();
    void OpenBannerLink();
    void OpenHelpPage();
    void OpenGuidePage();
    void OpenProgramFolder();
    void ShowAbout();
    void SaveOnClose();
    void SetBannerDefault();

    QWidget* pages_[4] = {};
    Page current_ = Page::Settings;
    CButtonST* currentTab_ = nullptr;
    CButtonST* settingsTab_;
    CButtonST* filesTab_;
    CButtonST* sqlServerTab_;
    CButtonST* mySqlTab_;
    CButtonST* aboutButton_;
    CButtonST* helpButton_;
    QLabel* version_;
    QLabel* banner_;
    QLabel* dot_;
    QLabel* maker_;
    QLabel* guide_;
    QLabel* updateLink_;
    QPixmap background_;
    QFont normalFont_;
    QFont boldFont_;

    QStringList bannerEntries_;
    int bannerNext_ = 0;
    QString bannerLink_;
    QString bannerText_;
    QColor bannerColor_;
    QString defaultBannerLink_;
    QString defaultBannerText_;
    QTimer* bannerTimer_;
    QTimer* rarTimer_;

    UpdateCheck* updateCheck_;
    RestoreEngine* restoreEngine_;
    UpdateLogListener updateLog_;
    std::jthread cacheCleanUp_;
    bool closing_ = false;
    // Without a MySQL server when the window was made, the MySQL tab stays off.
    bool mySqlServerFound_ = false;
};

}  // namespace zov::gui
