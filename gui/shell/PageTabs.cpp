#include "gui/shell/PageTabs.h"

#include <QPainter>
#include <QWidget>
#include <iterator>

#include "gui/shell/PageLook.h"
#include "gui/widgets/BitButtonNL.h"
#include "gui/widgets/ColorRef.h"

namespace zov::gui {

namespace {

constexpr int kTabNormal = 187;
constexpr int kTabPressed = 190;
constexpr int kTabHover = 188;

void MarkTab(CBitButtonNL& tab, bool active) {
    const QColor red = ColorFromRef(0x0000FF);
    tab.SetTextColors(active ? red : ColorFromRef(0x000000), red, red);
}

}  // namespace

PageTabs::PageTabs(QWidget& page) : QObject(&page), page_(page) {}

CBitButtonNL* PageTabs::Add(const char* id, const QString& caption, int x, QWidget* subPage) {
    auto* tab = new CBitButtonNL(caption, &page_);
    tab->setObjectName(id);
    tab->LoadBitmaps(kTabNormal, kTabPressed, kTabHover);
    tab->SetShowText(true);
    tab->setFont(PageFont(12));
    tab->move(x, 0);
    tab->setCursor(Qt::PointingHandCursor);
    subPage->setGeometry(kSubPageRect);
    const bool first = tabs_.empty();
    subPage->setVisible(first);
    MarkTab(*tab, first);
    if (first) {
        current_ = subPage;
        active_ = tab;
    }
    tabs_.push_back({tab, subPage});
    connect(tab, &CBitButtonNL::clicked, this, [this, tab] { Show(tab); });
    return tab;
}

void PageTabs::Show(CBitButtonNL* tab) {
    for (const Tab& entry : tabs_) {
        if (entry.button != tab) continue;
        if (entry.page != current_) {
            current_->hide();
            entry.page->show();
            current_ = entry.page;
        }
        MarkTab(*active_, false);
        MarkTab(*tab, true);
        active_ = tab;
    }
}

void PageTabs::PaintFrame(QPainter& painter) {
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
