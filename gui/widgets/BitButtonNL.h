#pragma once

#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QPushButton>

class QPainter;

namespace zov::gui {

// A push button drawn from up to four bitmaps (normal, pressed, hover, disabled) with its caption on top:
// the tab buttons of the pages and the settings dialogs. Emits only the usual clicked().
class CBitButtonNL : public QPushButton {
    Q_OBJECT

  public:
    // Where the caption sits in the free height: upper fifth, lower fifth, centre.
    enum class TextAlign { Upper, Lower, Centre };

    explicit CBitButtonNL(const QString& text = {}, QWidget* parent = nullptr);

    // The normal bitmap is required; false (all cleared) without it. The button takes its size.
    bool SetBitmaps(const QPixmap& normal, const QPixmap& pressed = {}, const QPixmap& hover = {},
                    const QPixmap& disabled = {});
    // The same with resource numbers (LoadBitmap); 0 means none.
    bool LoadBitmaps(int normal, int pressed = 0, int hover = 0, int disabled = 0);

    void SetTextColors(const QColor& normal, const QColor& pressed, const QColor& hover);
    CBitButtonNL& SetShowText(bool show);
    CBitButtonNL& SetFontBold(bool bold);
    CBitButtonNL& SetTextShadow(bool on, QPoint offset = {3, 2});
    CBitButtonNL& SetShadowColor(const QColor& colour);
    // A disabled caption drawn embossed (on by default) or in the normal colour.
    CBitButtonNL& SetEmbossDisabled(bool emboss);
    void SetTextAlign(TextAlign align);

    bool IsHovered() const { return hover_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void SetHover(bool hover);
    void DrawBitmap(QPainter& painter, bool pressed, bool disabled) const;
    void DrawText(QPainter& painter, bool pressed, bool disabled) const;

    QPixmap normal_, pressed_, hoverBitmap_, disabled_;
    QColor normalColour_{Qt::black}, pressedColour_{Qt::black}, hoverColour_{Qt::black};
    QColor shadowColour_{Qt::gray};
    QPoint shadowOffset_{3, 2};
    bool hover_ = false;
    bool showText_ = false;
    bool shadow_ = false;
    bool embossDisabled_ = true;
    TextAlign align_ = TextAlign::Centre;
};

}  // namespace zov::gui
