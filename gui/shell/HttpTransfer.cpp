#include "gui/shell/HttpTransfer.h"

#include <curl/curl.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace zov::gui {

namespace {

std::atomic<long long> connectMs{HttpTimeouts{}.connect.count()};
std::atomic<long long> totalMs{HttpTimeouts{}.total.count()};

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
    std::string body;
    bool tooLarge = false;
    const std::stop_token* stop = nullptr;
};

size_t Collect(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const size_t length = size * count;
    if (transfer.body.size() + length > kHttpBodyLimit) {
        transfer.tooLarge = true;
        return 0;
    }
    transfer.body.append(data, length);
    return length;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto& transfer = *static_cast<Transfer*>(user);
    return transfer.stop->stop_requested() ? 1 : 0;
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

}  // namespace

void SetHttpTimeouts(HttpTimeouts timeouts) {
    connectMs.store(timeouts.connect.count());
    totalMs.store(timeouts.total.count());
}

HttpTimeouts CurrentHttpTimeouts() {
    return {std::chrono::milliseconds(connectMs.load()), std::chrono::milliseconds(totalMs.load())};
}

HttpReply HttpExchange(const HttpRequest& request, const std::stop_token& stop) {
    HttpReply reply;
    InitCurlOnce();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        reply.error = "curl_easy_init";
        return reply;
    }
    Transfer transfer;
    transfer.stop = &stop;
    char error[CURL_ERROR_SIZE] = {};
    std::unique_ptr<curl_slist, SlistDeleter> headers;
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectMs.load()));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(totalMs.load()));
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kHttpBodyLimit));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Collect);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, error);
    if (!request.agent.empty()) curl_easy_setopt(handle, CURLOPT_USERAGENT, request.agent.c_str());
    if (request.postBody) {
        headers.reset(curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded"));
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.postBody->data());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.postBody->size()));
    }

    const CURLcode result = curl_easy_perform(handle);
    if (result != CURLE_OK) {
        reply.error = transfer.tooLarge || result == CURLE_FILESIZE_EXCEEDED ? "reply larger than 4 MiB"
                      : error[0] != '\0'                                     ? error
                                                                             : curl_easy_strerror(result);
        return reply;
    }
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &reply.status);
    reply.body = std::move(transfer.body);
    reply.completed = true;
    return reply;
}

}  // namespace zov::gui
