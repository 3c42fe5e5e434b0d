#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <vector>

class QPainter;
class QWidget;

namespace zov::gui {

class CBitButtonNL;

// The tab buttons of a page that switch between its sub-pages, all at kSubPageRect, and the thin frame
// around them: the settings page and the task pages. The active tab's caption is red in every state, the
// others are black and red under the mouse or pressed.
class PageTabs : public QObject {
    Q_OBJECT

  public:
    static constexpr QRect kSubPageRect{14, 35, 520, 360};

    explicit PageTabs(QWidget& page);

    // A tab at (x, 0) for the sub-page, which is placed at kSubPageRect; the first one added is shown and
    // active, the later ones hidden.
    CBitButtonNL* Add(const char* id, const QString& caption, int x, QWidget* subPage);
    QWidget* current() const { return current_; }
    // Shows the sub-page of the tab and makes the tab the active one.
    void Show(CBitButtonNL* tab);

    // Draws the frame around kSubPageRect: the page's paintEvent calls it.
    static void PaintFrame(QPainter& painter);

  private:
    struct Tab {
        CBitButtonNL* button;
        QWidget* page;
    };

    QWidget& page_;
    std::vector<Tab> tabs_;
    QWidget* current_ = nullptr;
    CBitButtonNL* active_ = nullptr;
};

}  // namespace zov::gui
