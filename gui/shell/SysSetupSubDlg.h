#pragma once

#include <QMap>
#include <QString>
#include <QWidget>
#include <thread>

class QCheckBox;
class QLabel;
namespace zov::gui {

class CBitButtonNL;

// The "系统设置" sub-page: the automatic-backup switch (config.ini [SYSTEM] "switch"), the service repair
// and the links to the maker's other offers. Controls carry their ids as object names.
class CSysSetupSubDlg : public QWidget {
    Q_OBJECT

  public:
    explicit CSysSetupSubDlg(QWidget* parent);
    // Waits for a running repair (its steps are bounded; a stop ends its pauses).
    ~CSysSetupSubDlg() override;

  signals:
    // A repair ended; its result box has been shown.
    void repairFinished(bool repaired);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnSwitch(bool on);
    void ShowSwitch(bool on);
    void OnRepair();
    void FinishRepair(bool repaired);
    void AddLink(QLabel* link, const QString& path);

    QCheckBox* switch_;
    CBitButtonNL* repair_;
    QMap<QObject*, QString> links_;
    std::jthread repairWorker_;
};

}  // namespace zov::gui
