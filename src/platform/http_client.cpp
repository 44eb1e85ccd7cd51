#include "platform/http_client.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stop_token>

#include "platform/text.hpp"

namespace lf::platform {

namespace {

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

// curl_global_init is not thread-safe on every build of libcurl; doing it once, before the first
// handle, keeps later calls from any thread safe.
void initializeCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void append(Slist& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown) throw std::bad_alloc();
    (void)list.release();
    list.reset(grown);
}

// One request on its way: the easy handle and everything it points into, kept alive together.
struct Transfer {
    const HttpRequest* request = nullptr;
    std::size_t index = 0;
    const StopToken* stop = nullptr;
    EasyHandle easy;
    Slist headers;
    Slist connectTo;
    HttpResponse response;
    bool bodyTooLong = false;
    char errorBuffer[CURL_ERROR_SIZE] = {};
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::optional<std::size_t>& limit = transfer->request->maxBodyBytes;
    if (limit && transfer->response.body.size() + size * count > *limit) {
        // Taking less than offered makes the library end the transfer with a write error.
        transfer->bodyTooLong = true;
        return 0;
    }
    transfer->response.body.append(data, size * count);
    return size * count;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    std::string_view line(data, size * count);
    // A status line starts a new reply (after "100 Continue" or a redirect): only the headers of
    // the final reply are kept.
    if (line.starts_with("HTTP/")) {
        transfer->response.headers.clear();
        return size * count;
    }
    const auto colon = line.find(':');
    if (colon != std::string_view::npos) {
        transfer->response.headers.emplace_back(text::trimmed(line.substr(0, colon)),
                                                text::trimmed(line.substr(colon + 1)));
    }
    return size * count;
}

// Called by curl several times a second while a transfer runs (and while it waits for the
// network); a non-zero answer aborts the transfer, which is how a stop reaches it.
int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(user);
    return transfer->stop->stop_requested() ? 1 : 0;
}

void check(CURLcode code) {
    if (code != CURLE_OK) throw TransportError(curl_easy_strerror(code));
}

std::unique_ptr<Transfer> prepare(const HttpRequest& request, std::size_t index, const StopToken& stop,
                                  const HttpSettings& settings) {
    auto transfer = std::make_unique<Transfer>();
    transfer->request = &request;
    transfer->index = index;
    transfer->stop = &stop;
    transfer->easy.reset(curl_easy_init());
    if (!transfer->easy) throw TransportError("The network library could not start a request.");
    CURL* easy = transfer->easy.get();

    check(curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str()));
    check(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https"));
    check(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
    check(curl_easy_setopt(easy, CURLOPT_USERAGENT, "Lanternfold/" LF_VERSION));
    check(curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->errorBuffer));
    check(curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer.get()));
    if (request.idleTimeout) {
        const long milliseconds = std::max<long>(static_cast<long>(request.timeout.count()), 1);
        check(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, milliseconds));
        // curl's low-speed check: under one byte a second for this many seconds ends the transfer.
        check(curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L));
        check(curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, std::max<long>((milliseconds + 999) / 1000, 1)));
    } else {
        check(curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeout.count())));
    }
    check(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L));
    check(curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, ""));

    check(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody));
    check(curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get()));
    check(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader));
    check(curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get()));
    check(curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L));
    check(curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, onProgress));
    check(curl_easy_setopt(easy, CURLOPT_XFERINFODATA, transfer.get()));

    const std::string method = text::upperASCII(request.method);
    if (method == "HEAD") {
        check(curl_easy_setopt(easy, CURLOPT_NOBODY, 1L));
    } else if (method != "GET" || request.body) {
        check(curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str()));
    }
    if (request.body) {
        check(curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body->size())));
        check(curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body->data()));
    }

    for (const auto& [name, value] : request.headers) append(transfer->headers, name + ": " + value);
    // Without this, curl waits up to a second for "100 Continue" before sending a large body.
    append(transfer->headers, "Expect:");
    check(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headers.get()));

    for (const auto& entry : settings.connectTo) append(transfer->connectTo, entry);
    if (transfer->connectTo) check(curl_easy_setopt(easy, CURLOPT_CONNECT_TO, transfer->connectTo.get()));
    if (!settings.extraCaFile.empty()) {
        // CAINFO replaces the default bundle; the system's certificates stay trusted through the
        // hashed certificate folder.
        check(curl_easy_setopt(easy, CURLOPT_CAINFO, settings.extraCaFile.c_str()));
        check(curl_easy_setopt(easy, CURLOPT_CAPATH, "/etc/ssl/certs"));
    }
    return transfer;
}

std::exception_ptr transportFailure(const Transfer& transfer, CURLcode code) {
    if (transfer.bodyTooLong) {
        return std::make_exception_ptr(
            TransportError("The reply is longer than " + std::to_string(*transfer.request->maxBodyBytes) + " bytes."));
    }
    std::string message = transfer.errorBuffer[0] ? std::string(transfer.errorBuffer) : curl_easy_strerror(code);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return std::make_exception_ptr(TransportError(message));
}

}  // namespace

void HttpRequest::setJsonBody(const json::Json& value) {
    body = json::compact(value);
    headers.emplace_back("Content-Type", "application/json");
}

std::optional<std::string> HttpResponse::header(const std::string& name) const {
    const std::string wanted = text::lowerASCII(name);
    for (const auto& [key, value] : headers) {
        if (text::lowerASCII(key) == wanted) return value;
    }
    return std::nullopt;
}

const HttpResponse& HttpOutcome::get() const {
    if (!response) std::rethrow_exception(error);
    return *response;
}

std::string environmentOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

HttpSettings HttpSettings::fromEnvironment() {
    HttpSettings settings;
    const std::string connectTo = environmentOr("LANTERNFOLD_HTTP_CONNECT_TO", "");
    std::size_t start = 0;
    while (start <= connectTo.size() && !connectTo.empty()) {
        const auto comma = connectTo.find(',', start);
        const std::string entry = text::trimmed(connectTo.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (!entry.empty()) settings.connectTo.push_back(entry);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    settings.extraCaFile = environmentOr("LANTERNFOLD_HTTP_CA_FILE", "");
    return settings;
}

HttpClient::HttpClient() : HttpClient(HttpSettings::fromEnvironment()) {}

HttpClient::HttpClient(HttpSettings settings) : settings_(std::move(settings)) { initializeCurlOnce(); }

HttpResponse HttpClient::send(const HttpRequest& request, const StopToken& stop) const {
    auto outcomes = sendAll({request}, stop, 1);
    return outcomes.front().get();
}

std::vector<HttpOutcome> HttpClient::sendAll(const std::vector<HttpRequest>& requests, const StopToken& stop,
                                             std::size_t maxConcurrent) const {
    throwIfStopped(stop);
    std::vector<HttpOutcome> outcomes(requests.size());
    if (requests.empty()) return outcomes;
    maxConcurrent = std::max<std::size_t>(maxConcurrent, 1);

    MultiHandle multi(curl_multi_init());
    if (!multi) throw TransportError("The network library could not start a request.");

    // Handles still inside the multi handle are taken out before either is cleaned up, also when
    // leaving by an exception; the guard is declared after the multi handle so it runs first.
    std::vector<std::unique_ptr<Transfer>> running;
    struct Detach {
        CURLM* multi;
        std::vector<std::unique_ptr<Transfer>>& running;
        ~Detach() {
            for (auto& transfer : running) curl_multi_remove_handle(multi, transfer->easy.get());
        }
    } detach{multi.get(), running};

    // A stop request wakes the waiting loop at once instead of at the next poll time-out.
    std::stop_callback wake(stop, [handle = multi.get()] { curl_multi_wakeup(handle); });

    std::size_t next = 0;
    while (next < requests.size() || !running.empty()) {
        while (next < requests.size() && running.size() < maxConcurrent) {
            auto transfer = prepare(requests[next], next, stop, settings_);
            if (curl_multi_add_handle(multi.get(), transfer->easy.get()) != CURLM_OK) {
                throw TransportError("The network library could not start a request.");
            }
            running.push_back(std::move(transfer));
            ++next;
        }

        int stillRunning = 0;
        if (curl_multi_perform(multi.get(), &stillRunning) != CURLM_OK) {
            throw TransportError("The network library failed while sending requests.");
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
            if (message->msg != CURLMSG_DONE) continue;
            auto found = std::find_if(running.begin(), running.end(),
                                      [&](const auto& transfer) { return transfer->easy.get() == message->easy_handle; });
            if (found == running.end()) continue;
            std::unique_ptr<Transfer> transfer = std::move(*found);
            running.erase(found);
            curl_multi_remove_handle(multi.get(), transfer->easy.get());
            const CURLcode code = message->data.result;
            HttpOutcome& outcome = outcomes[transfer->index];
            if (code == CURLE_OK) {
                long status = 0;
                curl_easy_getinfo(transfer->easy.get(), CURLINFO_RESPONSE_CODE, &status);
                transfer->response.status = status;
                outcome.response = std::move(transfer->response);
            } else if (code == CURLE_ABORTED_BY_CALLBACK && stop.stop_requested()) {
                throw Cancelled();
            } else {
                outcome.error = transportFailure(*transfer, code);
            }
        }
        throwIfStopped(stop);
        if (running.empty() && next >= requests.size()) break;
        // A finished transfer made room: start the next one before waiting.
        if (next < requests.size() && running.size() < maxConcurrent) continue;
        if (curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr) != CURLM_OK) {
            throw TransportError("The network library failed while waiting for replies.");
        }
        throwIfStopped(stop);
    }
    return outcomes;
}

}  // namespace lf::platform
