#pragma once

#include <QPixmap>
#include <QPoint>
#include <QPushButton>

#include "gui/widgets/OwnerDrawnMenu.h"

class QPainter;

namespace zov::gui {

// A flat push button with an icon and a caption that lights up under the mouse: the tab buttons of the main
// window. A checkable button keeps its icon pressed while checked. When actions were added to Menu(), a
// click shows the menu below the button.
class CButtonST : public QPushButton {
    Q_OBJECT

  public:
    // Where the icon sits against the caption.
    enum class Align { IconLeft, IconAbove, IconRight };
    // Out icons made from the in icon.
    static constexpr int kOutNone = 0;
    static constexpr int kOutGrey = -2;
    static constexpr int kOutDarker = -3;
    // The size an icon resource is drawn at.
    static constexpr int kIconSize = 32;

    explicit CButtonST(const QString& text = {}, QWidget* parent = nullptr);

    // The in icon shows while the mouse is on the button or it is pressed, the out icon otherwise (none:
    // the in icon). outId is a resource number or kOutNone, kOutGrey, kOutDarker. 1 when the in icon
    // cannot be loaded, else 0.
    int SetIcon(int inId, int outId = kOutNone);
    // The same with pictures; a null out picture means none.
    int SetIconPixmaps(const QPixmap& in, const QPixmap& out = {});
    int SetDrawBorder(bool draw);
    // The tool tip shows the text when active; inactive it shows nothing.
    int SetTooltipText(const QString& text, bool activate = true);
    // Nothing of its own behind icon and caption: the parent's background shows through.
    int SetTransparent();
    // 0: pressed pictures move by (1, 1); 1: by (0, 2). Any other style returns 6 and changes nothing.
    int SetPressedStyle(int style);
    void SetAlign(Align align);

    BCMenu& Menu() { return menu_; }
    bool IsMouseOn() const { return mouseOn_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void SetMouseOn(bool on);
    void ShowMenu();
    bool IsPressed() const;
    // Draws the icon for the state and returns the rectangle left for the caption.
    QRect DrawIcon(QPainter& painter, bool pressed) const;
    void DrawText(QPainter& painter, QRect area, bool pressed) const;

    QPixmap in_, out_;
    BCMenu menu_;
    QPoint pressedOffset_{1, 1};
    Align align_ = Align::IconLeft;
    bool mouseOn_ = false;
    bool menuShown_ = false;
    bool drawBorder_ = true;
    bool transparent_ = false;
};

// The out icons of CButtonST: every pixel that is not black turned into its grey luminance, or darkened by
// a quarter.
QPixmap GreyCopy(const QPixmap& pixmap);
QPixmap DarkerCopy(const QPixmap& pixmap);

}  // namespace zov::gui
