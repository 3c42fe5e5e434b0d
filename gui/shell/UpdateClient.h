#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

// The client side of the update check: the request text enciphered with AES-128 and written as hex, posted
// to the update servers in turn, the reply cut out of its envelope and deciphered.
namespace zov::gui {

// AES-128 (FIPS-197) in ECB mode through OpenSSL. The key text's first 16 bytes, zero-filled.
class LIB_CAES {
  public:
    explicit LIB_CAES(std::string_view keyText);
    virtual ~LIB_CAES() = default;
    // One 16-byte block in place.
    void EncryptBlock(std::uint8_t* block) const;
    void DecryptBlock(std::uint8_t* block) const;

  private:
    std::array<std::uint8_t, 16> key_{};
};

std::unique_ptr<LIB_CAES> CreateAesFromKey(std::string_view keyText);
// The text zero-padded to the next whole block (a full block of zeros when it fills its blocks), enciphered
// and written as upper-case hex.
std::string AesEncryptToHex(const LIB_CAES& cipher, std::string_view text);
// Hex pairs to bytes (an odd last digit ignored), deciphered block by block; the text up to the first zero.
std::string AesDecryptFromHex(const LIB_CAES& cipher, std::string_view hex);

class LIB_CHardware {
  public:
    virtual ~LIB_CHardware() = default;
    // PRETTY_NAME of /etc/os-release (else NAME), trimmed; "" when neither can be read.
    std::string GetOsName() const;
};

// "YYYY-MM-DD HH:MM:SS" of the clock's now, local time.
std::string MakeTimeStamp();

// One POST to an update server: "err:<status>" for a reply other than 200, "err:<reason>" (at most 200
// bytes) when no reply arrived, else the reply's lines each followed by "\r\n". "" when the address is not
// an http or https address.
std::string HttpPost(const std::string& url, const std::string& body, const std::stop_token& stop = {});
// HttpPost to url with "?hrand=" (or "&hrand=" when it has a query already) + the time stamp appended, its
// port 80 when the address names one below 10 or 65535.
std::string HttpPostStamped(const std::string& url, const std::string& body,
                            const std::stop_token& stop = {});

class LIB_CQelAuthAPI {
  public:
    // The servers of config.ini [QEL] "UpdateServers".
    LIB_CQelAuthAPI();
    explicit LIB_CQelAuthAPI(std::vector<std::string> servers);
    virtual ~LIB_CQelAuthAPI() = default;

    // The reply's inner text (plain, or deciphered with the request key), or "".
    std::string GetNewVer(const std::string& label, const std::string& version, const std::string& module,
                          bool withOs, bool noMore, const std::string& key = "",
                          const std::stop_token& stop = {});
    // The key of the module element: a fixed prefix, then the day (2 digits), year (4) and month (2) of
    // today.
    static std::string MakeModuleKey();
    // The request body "c=<hex>" of GetNewVer.
    std::string BuildRequestBody(const std::string& label, const std::string& version,
                                 const std::string& module, bool withOs, bool noMore,
                                 const std::string& key) const;
    const std::string& requestKey() const { return requestKey_; }
    const std::vector<std::string>& servers() const { return servers_; }

  private:
    std::vector<std::string> servers_;
    std::string requestKey_ = "kTr7mQpwZa";
};

}  // namespace zov::gui
