#pragma once

#include <QDialog>

#include "engine/logs/LogLine.h"

namespace zov::gui {

// "日志详情": one log record in full, with buttons that open what it backed up and where it went. Paths
// that do not exist and a failed result are shown in red; a successful differential run without output
// says why there is none.
class CDetailLogDlg : public QDialog {
    Q_OBJECT

  public:
    // category: 100 file, 101 SQL Server, 102 MySQL.
    CDetailLogDlg(const LogRecord& record, int category, QWidget* parent);

    static constexpr const char* kNoDiffNote = "{由于是差异备份，在无差异的情况下，不会产生备份文件。}";

  private:
    LogRecord record_;
};

}  // namespace zov::gui
