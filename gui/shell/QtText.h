#pragma once

#include <QString>
#include <string>

namespace zov::gui {

// The engine's UTF-8 text as Qt text.
inline QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace zov::gui
