#include "platform/OdbcHandle.h"

#include <utility>

#include "platform/Text.h"

namespace zov {

OdbcHandle::OdbcHandle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    if (!OdbcSucceeded(SQLAllocHandle(type, parent, &handle_))) handle_ = nullptr;
}

OdbcHandle::~OdbcHandle() { Free(); }

OdbcHandle::OdbcHandle(OdbcHandle&& other) noexcept
    : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}

OdbcHandle& OdbcHandle::operator=(OdbcHandle&& other) noexcept {
    if (this != &other) {
        Free();
        type_ = other.type_;
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void OdbcHandle::Free() {
    if (handle_ != nullptr) SQLFreeHandle(type_, handle_);
    handle_ = nullptr;
}

std::string OdbcHandle::Diagnostics() const {
    std::string errors;
    std::string all;
    if (handle_ == nullptr) return all;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLWCHAR text[2048] = {};
        SQLSMALLINT length = 0;
        const SQLRETURN code = SQLGetDiagRecW(type_, handle_, record, state, &native, text, 2048, &length);
        if (!OdbcSucceeded(code)) break;
        std::size_t size = 0;
        while (size < 2048 && text[size] != 0) ++size;
        const std::string message = FromOdbcText(text, size);
        all += (all.empty() ? "" : " ") + message;
        if (state[0] != '0' || state[1] != '1') errors += (errors.empty() ? "" : " ") + message;
    }
    return errors.empty() ? all : errors;
}

std::basic_string<SQLWCHAR> ToOdbcText(const std::string& text) {
    std::basic_string<SQLWCHAR> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const int length = byte < 0x80           ? 1
                           : (byte >> 5) == 0x6  ? 2
                           : (byte >> 4) == 0xE  ? 3
                           : (byte >> 3) == 0x1E ? 4
                                                 : 0;
        char32_t code = length == 1   ? byte
                        : length == 2 ? byte & 0x1F
                        : length == 3 ? byte & 0x0F
                                      : byte & 0x07;
        bool valid = length > 0 && i + length <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next >> 6) == 0x2;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid || (code >= 0xD800 && code < 0xE000) || code > 0x10FFFF) {
            out += static_cast<SQLWCHAR>(0xFFFD);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<SQLWCHAR>(0xD800 + (code >> 10));
            out += static_cast<SQLWCHAR>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<SQLWCHAR>(code);
        }
        i += static_cast<std::size_t>(length);
    }
    return out;
}

std::string FromOdbcText(const SQLWCHAR* text, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;
        }
        AppendUtf8(out, code);
    }
    return out;
}

}  // namespace zov
