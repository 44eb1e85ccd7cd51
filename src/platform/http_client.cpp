#include "platform/http_client.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <deque>
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

// One request on its way: the request (its body is sent from here, not copied), the easy handle
// and everything it points into, kept alive together.
struct Transfer {
    HttpRequest request;
    HttpFanOut::Continuation then;
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
    const std::optional<std::size_t>& limit = transfer->request.maxBodyBytes;
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

void prepare(Transfer& queued, const StopToken& stop, const HttpSettings& settings) {
    Transfer* transfer = &queued;
    const HttpRequest& request = transfer->request;
    transfer->stop = &stop;
    transfer->easy.reset(curl_easy_init());
    if (!transfer->easy) throw TransportError("The network library could not start a request.");
    CURL* easy = transfer->easy.get();

    check(curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str()));
    check(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https"));
    check(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
    check(curl_easy_setopt(easy, CURLOPT_USERAGENT, "Lanternfold/" LF_VERSION));
    check(curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->errorBuffer));
    check(curl_easy_setopt(easy, CURLOPT_PRIVATE, transfer));
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
    check(curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer));
    check(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader));
    check(curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer));
    check(curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L));
    check(curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, onProgress));
    check(curl_easy_setopt(easy, CURLOPT_XFERINFODATA, transfer));

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
}

std::exception_ptr transportFailure(const Transfer& transfer, CURLcode code) {
    if (transfer.bodyTooLong) {
        return std::make_exception_ptr(
            TransportError("The reply is longer than " + std::to_string(*transfer.request.maxBodyBytes) + " bytes."));
    }
    std::string message = transfer.errorBuffer[0] ? std::string(transfer.errorBuffer) : curl_easy_strerror(code);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    if (code == CURLE_OPERATION_TIMEDOUT) return std::make_exception_ptr(TransportError::timeOut(message));
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

bool isSendableUrl(const std::string& text) {
    for (unsigned char c : text) {
        if (c <= 0x20 || c >= 0x7f || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
            c == '{' || c == '|' || c == '}') {
            return false;
        }
    }
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> url(curl_url(), curl_url_cleanup);
    if (!url) return false;
    if (curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) return false;
    char* scheme = nullptr;
    if (curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) return false;
    const std::string schemeText = scheme;
    curl_free(scheme);
    return schemeText == "https" || schemeText == "http";
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
    HttpFanOut fanOut(*this, std::max<std::size_t>(maxConcurrent, 1));
    for (std::size_t index = 0; index < requests.size(); ++index) {
        fanOut.add(requests[index], [&outcomes, index](HttpOutcome outcome) { outcomes[index] = std::move(outcome); });
    }
    fanOut.run(stop);
    return outcomes;
}

struct HttpFanOut::State {
    HttpClient client;
    std::size_t maxConcurrent = 0;
    std::deque<std::unique_ptr<Transfer>> waiting;
};

HttpFanOut::HttpFanOut(HttpClient client, std::size_t maxConcurrent)
    : state_(std::make_unique<State>(State{std::move(client), maxConcurrent, {}})) {}

HttpFanOut::~HttpFanOut() = default;

void HttpFanOut::add(HttpRequest request, Continuation then) {
    auto transfer = std::make_unique<Transfer>();
    transfer->request = std::move(request);
    transfer->then = std::move(then);
    state_->waiting.push_back(std::move(transfer));
}

void HttpFanOut::run(const StopToken& stop) {
    throwIfStopped(stop);
    if (state_->waiting.empty()) return;
    auto& waiting = state_->waiting;
    const std::size_t limit = state_->maxConcurrent;

    MultiHandle multi(curl_multi_init());
    if (!multi) throw TransportError("The network library could not start a request.");

    // Handles still inside the multi handle are taken out before either is cleaned up, also when
    // leaving by an exception; the guard is declared after the multi handle so it runs first.
    // Requests that never started are dropped too, so that a later run() does not send them.
    std::vector<std::unique_ptr<Transfer>> running;
    struct Detach {
        CURLM* multi;
        std::vector<std::unique_ptr<Transfer>>& running;
        std::deque<std::unique_ptr<Transfer>>& waiting;
        ~Detach() {
            for (auto& transfer : running) curl_multi_remove_handle(multi, transfer->easy.get());
            waiting.clear();
        }
    } detach{multi.get(), running, waiting};

    // A stop request wakes the waiting loop at once instead of at the next poll time-out.
    std::stop_callback wake(stop, [handle = multi.get()] { curl_multi_wakeup(handle); });

    const auto roomForMore = [&] { return !waiting.empty() && (limit == 0 || running.size() < limit); };
    while (!waiting.empty() || !running.empty()) {
        while (roomForMore()) {
            std::unique_ptr<Transfer> transfer = std::move(waiting.front());
            waiting.pop_front();
            prepare(*transfer, stop, state_->client.settings());
            if (curl_multi_add_handle(multi.get(), transfer->easy.get()) != CURLM_OK) {
                throw TransportError("The network library could not start a request.");
            }
            running.push_back(std::move(transfer));
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
            HttpOutcome outcome;
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
            // The message's handle is gone now; the continuation may add requests, which only
            // join the waiting list and start at the top of the loop.
            if (transfer->then) transfer->then(std::move(outcome));
        }
        throwIfStopped(stop);
        if (running.empty() && waiting.empty()) break;
        // A finished transfer made room, or a continuation added a request: start it before waiting.
        if (roomForMore()) continue;
        if (curl_multi_poll(multi.get(), nullptr, 0, 1000, nullptr) != CURLM_OK) {
            throw TransportError("The network library failed while waiting for replies.");
        }
        throwIfStopped(stop);
    }
}

}  // namespace lf::platform
