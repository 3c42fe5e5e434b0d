#pragma once

// The product's name and version as the program shows and records them.
namespace zov::gui {

inline constexpr const char* kProductName = "Velmorand·Stowmeran";
inline constexpr const char* kProductVersion = "3.5";

}  // namespace zov::gui
