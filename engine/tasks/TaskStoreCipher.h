#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The file form of the task store text: one cipher block per text byte, in text order, each the CAES
// encryption under kTaskStoreKey of the byte spread over 8 bytes. No header, padding or terminator.
namespace zov {

// Key of the task store file; the cipher uses its first 8 bytes.
inline constexpr const char* kTaskStoreKey = "Nq4vWx8LmR2tBe6J";
// Bytes of the file per byte of the text: one cipher block.
inline constexpr std::size_t kStoreBlockSize = 8;

// The file bytes of a store text.
std::string EncipherStoreText(std::string_view text);
// The text of the file bytes. False (text unchanged), with the reason in why, when they are not whole
// blocks or a block is not the cipher of a text byte.
bool DecipherStoreText(std::string_view bytes, std::string& text, std::string& why);

}  // namespace zov
