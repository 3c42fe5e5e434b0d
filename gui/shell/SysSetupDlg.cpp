#include "gui/shell/SysSetupDlg.h"

#include <QPainter>

#include "gui/shell/PageLook.h"
#include "gui/widgets/BitButtonNL.h"
#include "gui/widgets/ColorRef.h"
#include "gui/widgets/DialogKeyFilter.h"

namespace zov::gui {

namespace {

const QRect kPageRect(14, 35, 520, 360);

CBitButtonNL* AddTab(QWidget& page, const char* id, const QString& text, int x) {
    auto* tab = new CBitButtonNL(text, &page);
    tab->setObjectName(id);
    tab->LoadBitmaps(187, 190, 188);
    tab->SetShowText(true);
    tab->setFont(PageFont(12));
    tab->move(x, 0);
    tab->setCursor(Qt::PointingHandCursor);
    return tab;
}

void MarkTab(CBitButtonNL& tab, bool active) {
    const QColor red = ColorFromRef(0x0000FF);
    tab.SetTextColors(active ? red : ColorFromRef(0x000000), red, red);
}

}  // namespace

CSysSetupDlg::CSysSetupDlg(QWidget* parent) : QWidget(parent) {
    setObjectName("203");
    resize(546, 403);
    settings_ = new CSysSetupSubDlg(this);
    settings_->setGeometry(kPageRect);
    state_ = new CSysSetupStateDlg(this);
    state_->setGeometry(kPageRect);
    state_->hide();
    current_ = settings_;

    settingsTab_ = AddTab(*this, "1384", "系统设置", 14);
    stateTab_ = AddTab(*this, "1095", "系统状态", 108);
    activeTab_ = settingsTab_;
    MarkTab(*settingsTab_, true);
    MarkTab(*stateTab_, false);
    connect(settingsTab_, &CBitButtonNL::clicked, this, [this] { ShowTab(settingsTab_, settings_); });
    connect(stateTab_, &CBitButtonNL::clicked, this, [this] { ShowTab(stateTab_, state_); });
    InstallDialogKeyFilter(this);
}

void CSysSetupDlg::ShowTab(CBitButtonNL* tab, QWidget* page) {
    if (!page->isVisible()) {
        current_->hide();
        page->show();
        current_ = page;
    }
    MarkTab(*activeTab_, false);
    MarkTab(*tab, true);
    activeTab_ = tab;
}

void CSysSetupDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QColor(202, 209, 201));
    painter.drawLine(10, 25, 530, 25);
    painter.drawLine(10, 400, 530, 400);
    painter.drawLine(2, 35, 2, 390);
    painter.drawLine(541, 35, 541, 390);
    // Curved corners, a few pixels each.
    const QPoint corners[] = {{3, 33},    {4, 31},    {5, 29},   {7, 27},   {9, 26},    {532, 26},
                              {534, 27},  {536, 29},  {537, 31}, {538, 33}, {540, 34},  {3, 392},
                              {4, 394},   {5, 396},   {7, 398},  {9, 399},  {532, 399}, {534, 398},
                              {536, 396}, {538, 394}, {540, 392}};
    painter.drawPoints(corners, static_cast<int>(std::size(corners)));
}

}  // namespace zov::gui
