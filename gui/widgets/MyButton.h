#pragma once

#include <QColor>
#include <QPushButton>

namespace zov::gui {

// A push button with rounded corners and a blue-white gradient, framed in orange under the mouse and in
// pale blue while it has the focus: the buttons of the lists and dialogs.
class CMyButton : public QPushButton {
    Q_OBJECT

  public:
    explicit CMyButton(const QString& text = {}, QWidget* parent = nullptr);

    // The 64 colours of the fill, lightest (0) to darkest (63). hover: the mouse is on the button;
    // pressedLook: it is focused, pressed or the default button.
    static QColor BandColour(int band, bool hover, bool pressedLook);
    // The band of a pixel row y of a fill height rows high: never above 63.
    static int BandOfRow(int y, int height);

    bool IsHovered() const { return hover_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    bool hover_ = false;
};

}  // namespace zov::gui
