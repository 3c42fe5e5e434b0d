#include "gui/shell/HttpGet.h"

#include "gui/shell/HttpTransfer.h"

namespace zov::gui {

namespace {
constexpr long kHttpOk = 200;
}

bool HttpGet(const std::string& url, std::string& out) {
    out.clear();
    HttpReply reply = HttpExchange({url, std::nullopt, ""});
    if (!reply.completed || reply.status != kHttpOk) return false;
    out = std::move(reply.body);
    return true;
}

}  // namespace zov::gui
