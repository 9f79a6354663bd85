#include "platform/HttpClient.h"

#include "shell/Format.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <mutex>

namespace vsr {

namespace {

std::mutex ProxyLock;
std::string ProxyHostSetting;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK)
            throw EHttpClient("The HTTP library could not be initialised");
    });
}

void SetOption(CURL* easy, CURLoption option, auto value) {
    const CURLcode code = curl_easy_setopt(easy, option, value);
    if (code != CURLE_OK)
        throw EHttpClient(Format("HTTP request set-up failed: %s", curl_easy_strerror(code)));
}

} // namespace

std::string ProxySetting() {
    std::lock_guard lock(ProxyLock);
    return ProxyHostSetting;
}

void SetProxySetting(const std::string& proxyHost) {
    std::lock_guard lock(ProxyLock);
    ProxyHostSetting = proxyHost;
}

struct THttpClient::TCurl {
    CURLM* Multi = nullptr;
    CURL* Easy = nullptr;          // the running transfer, if any
    curl_slist* Headers = nullptr; // the running transfer's request headers

    TCurl() : Multi(curl_multi_init()) {
        if (!Multi)
            throw EHttpClient("The HTTP client could not be created");
    }
    ~TCurl() {
        curl_multi_cleanup(Multi);
        curl_slist_free_all(Headers);
    }
    // Only while no transfer runs: a running one reads them.
    void SetHeaders(const std::vector<std::string>& lines) {
        curl_slist_free_all(Headers);
        Headers = nullptr;
        for (const std::string& line : lines)
            if (curl_slist* more = curl_slist_append(Headers, line.c_str()))
                Headers = more;
    }
    TCurl(const TCurl&) = delete;
    TCurl& operator=(const TCurl&) = delete;
};

THttpClient::THttpClient() {
    InitCurlOnce();
    FCurl = std::make_unique<TCurl>();
}

THttpClient::~THttpClient() {
    std::lock_guard lock(FLock);
    RemoveTransfer();
}

void THttpClient::SetAddress(const std::string& address) {
    std::lock_guard lock(FLock);
    FAddress = address;
}

void THttpClient::SetSink(std::shared_ptr<THttpSink> sink) {
    std::lock_guard lock(FLock);
    FSink = std::move(sink);
}

void THttpClient::SetProxyHost(const std::string& proxyHost) {
    std::lock_guard lock(FLock);
    FProxyHost = proxyHost;
}

void THttpClient::SetRequestHeaders(std::vector<std::string> headers) {
    std::lock_guard lock(FLock);
    FRequestHeaders = std::move(headers);
}

void THttpClient::SetMaxBodyBytes(std::size_t bytes) {
    std::lock_guard lock(FLock);
    FMaxBodyBytes = bytes;
}

void THttpClient::SetMaxRedirects(int redirects) {
    std::lock_guard lock(FLock);
    FMaxRedirects = redirects;
}

std::string THttpClient::ResponseHeader(std::string_view name) const {
    std::lock_guard lock(FLock);
    for (const std::string& line : FResponseHeaders) {
        const std::size_t colon = line.find(':');
        if (colon != name.size() ||
            !std::equal(name.begin(), name.end(), line.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            continue;
        const std::size_t first = line.find_first_not_of(" \t", colon + 1);
        const std::size_t last = line.find_last_not_of(" \t\r\n");
        return first == std::string::npos || last < first ? std::string()
                                                          : line.substr(first, last - first + 1);
    }
    return {};
}

void THttpClient::Get() {
    std::lock_guard lock(FLock);
    RemoveTransfer();
    FStatusCode = 0;
    FResponseHeaders.clear();
    FBodyBytes = 0;
    CURL* easy = curl_easy_init();
    if (!easy)
        throw EHttpClient("The HTTP request could not be created");
    try {
        SetOption(easy, CURLOPT_URL, FAddress.c_str());
        SetOption(easy, CURLOPT_WRITEFUNCTION, &THttpClient::WriteBody);
        SetOption(easy, CURLOPT_WRITEDATA, static_cast<void*>(this));
        SetOption(easy, CURLOPT_NOSIGNAL, 1L);
        // Large reads keep up with fast links between the user's turns.
        SetOption(easy, CURLOPT_BUFFERSIZE, 256L * 1024);
        // An empty proxy switches off libcurl's own use of the proxy environment variables.
        SetOption(easy, CURLOPT_PROXY, FProxyHost.c_str());
        SetOption(easy, CURLOPT_HEADERFUNCTION, &THttpClient::WriteHeader);
        SetOption(easy, CURLOPT_HEADERDATA, static_cast<void*>(this));
        if (FMaxRedirects > 0) {
            SetOption(easy, CURLOPT_FOLLOWLOCATION, 1L);
            SetOption(easy, CURLOPT_MAXREDIRS, static_cast<long>(FMaxRedirects));
        }
        FCurl->SetHeaders(FRequestHeaders);
        if (FCurl->Headers)
            SetOption(easy, CURLOPT_HTTPHEADER, FCurl->Headers);
        const CURLMcode code = curl_multi_add_handle(FCurl->Multi, easy);
        if (code != CURLM_OK)
            throw EHttpClient(Format("HTTP request failed: %s", curl_multi_strerror(code)));
    } catch (...) {
        curl_easy_cleanup(easy);
        throw;
    }
    FCurl->Easy = easy;
    FState = THttpState::Busy;
}

THttpState THttpClient::State() const {
    std::lock_guard lock(FLock);
    return FState;
}

int THttpClient::StatusCode() const {
    std::lock_guard lock(FLock);
    return FStatusCode;
}

void THttpClient::ProcessEvents() {
    std::lock_guard lock(FLock);
    if (!FCurl->Easy)
        return;
    int running = 0;
    curl_multi_perform(FCurl->Multi, &running);
    long status = 0;
    if (curl_easy_getinfo(FCurl->Easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status)
        FStatusCode = static_cast<int>(status);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(FCurl->Multi, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == FCurl->Easy) {
            FinishTransfer(message->data.result == CURLE_OK);
            return;
        }
    }
}

void THttpClient::WaitForActivity(std::chrono::milliseconds longest) {
    std::lock_guard lock(FLock);
    if (FCurl->Easy)
        curl_multi_poll(FCurl->Multi, nullptr, 0, static_cast<int>(longest.count()), nullptr);
}

// The wake-up needs no lock: it ends a wait that holds it.
void THttpClient::Abort() {
    curl_multi_wakeup(FCurl->Multi);
    std::lock_guard lock(FLock);
    RemoveTransfer();
}

// A transfer that broke off has no complete answer, whatever status its head carried.
void THttpClient::FinishTransfer(bool complete) {
    if (!complete)
        FStatusCode = 0;
    RemoveTransfer();
}

void THttpClient::RemoveTransfer() {
    if (FCurl->Easy) {
        curl_multi_remove_handle(FCurl->Multi, FCurl->Easy);
        curl_easy_cleanup(FCurl->Easy);
        FCurl->Easy = nullptr;
    }
    FState = THttpState::Idle;
}

// Called by libcurl inside ProcessEvents, with FLock held. Each response of a redirect chain
// begins with its status line: only the last one's headers are kept.
std::size_t THttpClient::WriteHeader(char* data, std::size_t size, std::size_t count,
                                     void* client) {
    auto& self = *static_cast<THttpClient*>(client);
    const std::size_t bytes = size * count;
    std::string line(data, bytes);
    if (line.starts_with("HTTP/"))
        self.FResponseHeaders.clear();
    else if (line.find(':') != std::string::npos)
        self.FResponseHeaders.push_back(std::move(line));
    return bytes;
}

// Called by libcurl inside ProcessEvents, with FLock held.
std::size_t THttpClient::WriteBody(char* data, std::size_t size, std::size_t count, void* client) {
    auto& self = *static_cast<THttpClient*>(client);
    const std::size_t bytes = size * count;
    self.FBodyBytes += bytes;
    if (self.FMaxBodyBytes > 0 && self.FBodyBytes > self.FMaxBodyBytes)
        return 0; // libcurl ends the transfer as failed
    if (self.FSink) {
        const auto* first = reinterpret_cast<const std::byte*>(data);
        self.FSink->insert(self.FSink->end(), first, first + bytes);
    }
    return bytes;
}

} // namespace vsr
