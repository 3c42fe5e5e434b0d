#include "gui/shell/SysSetupSubDlg.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include "engine/settings/IniFile.h"
#include "engine/settings/ProgramFiles.h"
#include "gui/shell/MakerAddresses.h"
#include "gui/shell/PageLook.h"
#include "gui/shell/Prompter.h"
#include "gui/shell/ServiceRepair.h"
#include "gui/shell/UserCache.h"
#include "gui/widgets/BitButtonNL.h"
#include "gui/widgets/ColorRef.h"
#include "platform/Paths.h"

namespace zov::gui {

namespace {

constexpr const char* kSwitchKey = "switch";
constexpr const char* kSystemSection = "SYSTEM";

struct Feature {
    const char* nameId;
    const char* name;
    const char* textId;
    const char* text;
};
constexpr Feature kFeatures[] = {
    {"1392", "文件备份", "1403",
     "按计划把文件夹完整、差异或按子目录备份到本地、移动硬盘或网络存储，可压缩加密。"},
    {"1394", "SQL Server备份", "1404", "定时备份SQL Server数据库，按保留天数自动清理过期的备份文件。"},
    {"1395", "MySQL备份", "1405", "定时导出MySQL数据库，备份可压缩加密，需要时一键还原。"},
};

struct Link {
    const char* id;
    const char* text;
    const char* path;
};
constexpr Link kTextLinks[] = {
    {"1442", "数据恢复服务", "/service/recovery"},
    {"1443", "异地备份方案", "/service/offsite"},
    {"1444", "服务器运维", "/service/operations"},
    {"1445", "定制开发", "/service/custom"},
    {"1446", "技术支持", "/support"},
};

// The picture of link 1402: a small card inviting to the maker's offers.
QPixmap OffersPicture() {
    QPixmap picture(150, 56);
    picture.fill(ColorFromRef(0xEDEDFE));
    QPainter painter(&picture);
    painter.setPen(ColorFromRef(0x2A1A12));
    painter.drawRect(0, 0, picture.width() - 1, picture.height() - 1);
    painter.setFont(PageFont(14, true));
    painter.drawText(picture.rect(), Qt::AlignCenter, "更多产品与服务");
    return picture;
}

}  // namespace

CSysSetupSubDlg::CSysSetupSubDlg(QWidget* parent) : QWidget(parent) {
    setObjectName("204");
    MakeWhitePage(*this);
    setStyleSheet("QToolTip { color: #121a2a; background-color: #feeded; }");

    switch_ = new QCheckBox("系统已开启", this);
    switch_->setObjectName("1385");
    switch_->setGeometry(30, 18, 220, 26);
    switch_->setFont(PageFont(16, true));

    repair_ = new CBitButtonNL("修复系统", this);
    repair_->setObjectName("1095");
    repair_->LoadBitmaps(187, 190, 188);
    repair_->SetShowText(true);
    repair_->SetTextColors(ColorFromRef(0x000000), ColorFromRef(0x0000FF), ColorFromRef(0x0000FF));
    repair_->setFont(PageFont(12));
    repair_->move(400, 18);
    repair_->setCursor(Qt::PointingHandCursor);

    int y = 66;
    for (const Feature& feature : kFeatures) {
        AddLabel(*this, feature.nameId, feature.name, 30, y, 460, 18)->setFont(PageFont(12, true));
        QLabel* text = AddLabel(*this, feature.textId, feature.text, 30, y + 20, 460, 34);
        text->setWordWrap(true);
        text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        y += 62;
    }

    auto* picture = new QLabel(this);
    picture->setObjectName("1402");
    picture->setPixmap(OffersPicture());
    picture->setGeometry(30, 268, 150, 56);
    picture->setToolTip("欢迎访问我们的网站，了解更多产品与服务。");
    picture->setToolTipDuration(10000);
    AddLink(picture, "/");

    QLabel* more = AddLabel(*this, "1441", "更多服务：", 200, 266, 90, 18);
    more->setFont(PageFont(12, true));
    AddLink(more, "/service/");
    int x = 200;
    int row = 290;
    for (const Link& link : kTextLinks) {
        QLabel* label = AddLabel(*this, link.id, link.text, x, row, 92, 18);
        SetTextColor(*label, ColorFromRef(0xFF0000));
        AddLink(label, link.path);
        x += 96;
        if (x > 400) {
            x = 200;
            row += 22;
        }
    }

    const bool on = IniFile(ConfigIniPath()).Read(kSwitchKey, kSystemSection) != "OFF";
    if (on) IniFile(ConfigIniPath()).Write(kSwitchKey, kSystemSection, "ON");
    switch_->setChecked(on);
    ShowSwitch(on);
    connect(switch_, &QCheckBox::clicked, this, &CSysSetupSubDlg::OnSwitch);
    connect(repair_, &CBitButtonNL::clicked, this, &CSysSetupSubDlg::OnRepair);
}

CSysSetupSubDlg::~CSysSetupSubDlg() {
    repairWorker_.request_stop();
    if (repairWorker_.joinable()) repairWorker_.join();
}

void CSysSetupSubDlg::AddLink(QLabel* link, const QString& path) {
    link->setCursor(Qt::PointingHandCursor);
    link->installEventFilter(this);
    links_.insert(link, path);
}

bool CSysSetupSubDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease && links_.contains(watched) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        UsageCounters().Add(Counter::AdvLink);
        OpenWebAddress(MakerPage(links_.value(watched).toStdString()), this);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CSysSetupSubDlg::ShowSwitch(bool on) {
    switch_->setText(on ? "系统已开启" : "系统已关闭");
    SetTextColor(*switch_, on ? QColor(0, 139, 0) : QColor(255, 0, 0));
}

void CSysSetupSubDlg::OnSwitch(bool on) {
    ShowSwitch(on);
    IniFile(ConfigIniPath()).Write(kSwitchKey, kSystemSection, on ? "ON" : "OFF");
}

void CSysSetupSubDlg::OnRepair() {
    const std::string program = ServiceProgramPath();
    if (!IsRegularFile(program)) {
        ShowBox(this, QString::fromStdString("文件：" + program + " 不存在，无法修复！"), "错误",
                Prompter::Icon::Error);
        return;
    }
    repair_->setEnabled(false);
    if (repairWorker_.joinable()) repairWorker_.join();
    repairWorker_ = std::jthread([this](std::stop_token stop) {
        const bool repaired = RepairService(stop);
        if (stop.stop_requested()) return;
        QMetaObject::invokeMethod(
            this, [this, repaired] { FinishRepair(repaired); }, Qt::QueuedConnection);
    });
}

void CSysSetupSubDlg::FinishRepair(bool repaired) {
    if (repaired) {
        ShowBox(this, "修复成功完成！", "成功", Prompter::Icon::Information);
    } else {
        ShowBox(this,
                "修复发生错误，您可能需要手动设置，或重试！\n\n方法：可以打开服务管理器，重启服务再试。",
                "失败", Prompter::Icon::Error);
    }
    repair_->setEnabled(true);
    emit repairFinished(repaired);
}

}  // namespace zov::gui
