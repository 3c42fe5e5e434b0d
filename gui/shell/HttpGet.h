#pragma once

#include <string>

namespace zov::gui {

// GETs url (http or https) within the HTTP time-outs: true with out = the body of a 200 reply of at most
// kHttpBodyLimit bytes (HttpTransfer.h); otherwise false and out empty.
bool HttpGet(const std::string& url, std::string& out);

}  // namespace zov::gui
