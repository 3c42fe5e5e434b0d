#include "gui/shell/UpdateClient.h"

#include <curl/curl.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "engine/util/CommonText.h"
#include "gui/shell/HttpTransfer.h"
#include "gui/shell/MakerAddresses.h"
#include "platform/Clock.h"

namespace zov::gui {

namespace {

constexpr std::size_t kBlock = 16;
constexpr long kHttpOk = 200;
constexpr std::size_t kLongestError = 200;
constexpr const char* kAgent = "Qel2";
constexpr const char* kModuleKeyPrefix = "zQm";
constexpr const char* kOsRelease = "/etc/os-release";

struct CipherContextDeleter {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

void RunBlock(const std::array<std::uint8_t, 16>& key, std::uint8_t* block, bool encrypt) {
    std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter> context(EVP_CIPHER_CTX_new());
    std::uint8_t out[kBlock + kBlock];
    int length = 0;
    if (!context ||
        EVP_CipherInit_ex(context.get(), EVP_aes_128_ecb(), nullptr, key.data(), nullptr, encrypt ? 1 : 0) !=
            1 ||
        EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1 ||
        EVP_CipherUpdate(context.get(), out, &length, block, static_cast<int>(kBlock)) != 1 ||
        length != static_cast<int>(kBlock)) {
        std::memset(block, 0, kBlock);
        return;
    }
    std::memcpy(block, out, kBlock);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
}

std::string Unquoted(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Each line of the body followed by "\r\n".
std::string AsLines(const std::string& body) {
    std::string lines;
    std::size_t start = 0;
    while (start < body.size()) {
        std::size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        std::string line = body.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines += line + "\r\n";
        start = end + 1;
    }
    return lines;
}

struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

std::string UrlPart(CURLU* url, CURLUPart part) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, 0) != CURLUE_OK || text == nullptr) return "";
    std::string value(text);
    curl_free(text);
    return value;
}

}  // namespace

LIB_CAES::LIB_CAES(std::string_view keyText) {
    std::memcpy(key_.data(), keyText.data(), std::min(keyText.size(), key_.size()));
}

void LIB_CAES::EncryptBlock(std::uint8_t* block) const { RunBlock(key_, block, true); }

void LIB_CAES::DecryptBlock(std::uint8_t* block) const { RunBlock(key_, block, false); }

std::unique_ptr<LIB_CAES> CreateAesFromKey(std::string_view keyText) {
    return std::make_unique<LIB_CAES>(keyText);
}

std::string AesEncryptToHex(const LIB_CAES& cipher, std::string_view text) {
    std::vector<std::uint8_t> buffer(text.size() / kBlock * kBlock + kBlock, 0);
    std::copy(text.begin(), text.end(), buffer.begin());
    std::string hex;
    hex.reserve(buffer.size() * 2);
    for (std::size_t offset = 0; offset < buffer.size(); offset += kBlock) {
        cipher.EncryptBlock(buffer.data() + offset);
        for (std::size_t i = offset; i < offset + kBlock; ++i) {
            char pair[3];
            std::snprintf(pair, sizeof pair, "%02X", buffer[i]);
            hex += pair;
        }
    }
    return hex;
}

std::string AesDecryptFromHex(const LIB_CAES& cipher, std::string_view hex) {
    const std::size_t bytes = hex.size() / 2;
    std::vector<std::uint8_t> buffer((bytes + kBlock - 1) / kBlock * kBlock + 1, 0);
    for (std::size_t i = 0; i < bytes; ++i)
        buffer[i] = static_cast<std::uint8_t>(HexDigit(hex[2 * i]) * 16 + HexDigit(hex[2 * i + 1]));
    for (std::size_t offset = 0; offset + kBlock < buffer.size(); offset += kBlock)
        cipher.DecryptBlock(buffer.data() + offset);
    return std::string(reinterpret_cast<const char*>(buffer.data()));
}

std::string LIB_CHardware::GetOsName() const {
    std::ifstream release(kOsRelease);
    std::string line, pretty, name;
    while (std::getline(release, line)) {
        if (line.starts_with("PRETTY_NAME=")) pretty = Unquoted(line.substr(12));
        if (line.starts_with("NAME=")) name = Unquoted(line.substr(5));
    }
    return Trimmed(pretty.empty() ? name : pretty);
}

std::string MakeTimeStamp() { return FormatLocalTime(Now(), "%Y-%m-%d %H:%M:%S"); }

std::string HttpPost(const std::string& url, const std::string& body, const std::stop_token& stop) {
    if (!IsWebAddress(url)) return "";
    const HttpReply reply = HttpExchange({url, body, kAgent}, stop);
    if (!reply.completed) return "err:" + reply.error.substr(0, kLongestError);
    if (reply.status != kHttpOk) return "err:" + std::to_string(reply.status);
    return AsLines(reply.body);
}

std::string HttpPostStamped(const std::string& url, const std::string& body, const std::stop_token& stop) {
    std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return "";
    const std::string port = UrlPart(parsed.get(), CURLUPART_PORT);
    if (!port.empty()) {
        const long number = std::strtol(port.c_str(), nullptr, 10);
        if (number < 10 || number == 65535) curl_url_set(parsed.get(), CURLUPART_PORT, "80", 0);
    }
    const std::string stamp = "hrand=" + MakeTimeStamp();
    if (curl_url_set(parsed.get(), CURLUPART_QUERY, stamp.c_str(), CURLU_APPENDQUERY | CURLU_URLENCODE) !=
        CURLUE_OK)
        return "";
    return HttpPost(UrlPart(parsed.get(), CURLUPART_URL), body, stop);
}

LIB_CQelAuthAPI::LIB_CQelAuthAPI() : servers_(UpdateServers()) {}

LIB_CQelAuthAPI::LIB_CQelAuthAPI(std::vector<std::string> servers) : servers_(std::move(servers)) {}

std::string LIB_CQelAuthAPI::MakeModuleKey() { return kModuleKeyPrefix + FormatLocalTime(Now(), "%d%Y%m"); }

std::string LIB_CQelAuthAPI::BuildRequestBody(const std::string& label, const std::string& version,
                                              const std::string& module, bool withOs, bool noMore,
                                              const std::string& key) const {
    std::string text = "<label>" + label + "</label><ver>" + version + "</ver>";
    if (!module.empty())
        text += "<module>" + AesEncryptToHex(*CreateAesFromKey(MakeModuleKey()), module) + "</module>";
    if (withOs) text += "<os>" + LIB_CHardware().GetOsName() + "</os>";
    if (!noMore) text += "<more>{#}nouse{#}</more>";
    return "c=" + AesEncryptToHex(*CreateAesFromKey(key.empty() ? requestKey_ : key), text);
}

std::string LIB_CQelAuthAPI::GetNewVer(const std::string& label, const std::string& version,
                                       const std::string& module, bool withOs, bool noMore,
                                       const std::string& key, const std::stop_token& stop) {
    const std::string body = BuildRequestBody(label, version, module, withOs, noMore, key);
    std::string reply;
    for (const std::string& server : servers_) {
        if (stop.stop_requested()) break;
        reply = HttpPostStamped(server + "/GetNewVer.asp", body, stop);
        if (reply.find("</qel>") != std::string::npos || reply.find("err:") != std::string::npos) break;
    }
    std::string inner = TextBetween(reply, "<qel>", "</qel>");
    std::erase(inner, ' ');
    if (inner.empty() || inner.find("</status>") != std::string::npos) return inner;
    return AesDecryptFromHex(*CreateAesFromKey(key.empty() ? requestKey_ : key), inner);
}

}  // namespace zov::gui
