#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QRect;
class QWidget;

namespace zov::gui {
class CMyButton;
}

// The look the settings pages share: the CJK font at a pixel height, text colours, white pages and
// clickable texts.
namespace zov::gui {

inline constexpr const char* kCjkFontFamily = "WenQuanYi Micro Hei";

QFont PageFont(int pixelHeight, bool bold = false);
void SetTextColor(QWidget& widget, const QColor& color);
// A white, opaque page background.
void MakeWhitePage(QWidget& page);
// Tool tips of the widget and its children in the task pages' colours: light text on dark blue.
void SetTaskTooltipLook(QWidget& widget);
// A label at the rectangle with the id as object name.
QLabel* AddLabel(QWidget& parent, const char* id, const QString& text, int x, int y, int width, int height);
// A drawn push button at the rectangle with the id as object name.
CMyButton* AddButton(QWidget& parent, const char* id, const QString& text, const QRect& where);

}  // namespace zov::gui
