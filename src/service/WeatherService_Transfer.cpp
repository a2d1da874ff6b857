// The HTTP client of the data service: one libcurl easy handle per request.
#include "service/WeatherService.h"

#include "foundation/Logger.h"
#include "platform/Process.h"
#include "service/ServiceHosts.h"

#include <curl/curl.h>

#include <cstdlib>
#include <sys/socket.h>
#include <fstream>

namespace nbr {

namespace {

// Certificate bundle of every transfer; empty means the library's default
// trust store. Written only at start-up, before other threads request.
std::string g_caBundlePath;

constexpr char kUserAgent[] = "Nimbrel/1.0 (open-source desktop weather app)";
constexpr long kTimeoutSeconds = 12;
constexpr long kConnectTimeoutSeconds = 6;
constexpr long kMaxRedirects = 10;
constexpr size_t kMaxBodyBytes = size_t{32} << 20;
constexpr char kRefused[] = "URL outside the service base";

struct Transfer {
    WeatherService* service = nullptr;
    CURL* handle = nullptr;
    std::string body;
    bool refused = false;  // a redirect left the override's server
};

size_t writeCallback(void* data, size_t size, size_t nmemb, std::string* body) {
    const size_t n = size * nmemb;
    if (n > kMaxBodyBytes - body->size()) return 0;  // ends the transfer with a write error
    body->append(static_cast<const char*>(data), n);
    return n;
}

int xferCallback(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    if (!clientp) return 0;
    return static_cast<WeatherService*>(clientp)->abortFlag.load() ? 1 : 0;
}

// While the service base is overridden, a redirect may not leave the
// override's server: checked before each new connection (no other host is
// even contacted) and again before each request, redirects included.
bool currentUrlAllowed(Transfer* t) {
    char* url = nullptr;
    if (curl_easy_getinfo(t->handle, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url && serviceUrlAllowed(url))
        return true;
    t->refused = true;
    return false;
}

curl_socket_t openSocketCallback(void* clientp, curlsocktype, struct curl_sockaddr* address) {
    if (!currentUrlAllowed(static_cast<Transfer*>(clientp))) return CURL_SOCKET_BAD;
    return socket(address->family, address->socktype, address->protocol);
}

int prereqCallback(void* clientp, char*, char*, int, int) {
    return currentUrlAllowed(static_cast<Transfer*>(clientp)) ? CURL_PREREQFUNC_OK : CURL_PREREQFUNC_ABORT;
}

// Scheme and host (and port) of a URL: never its path, query or fragment,
// which carry coordinates.
std::string logLabel(const std::string& url) {
    size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    const size_t end = url.find_first_of("/?#", start);
    return end == std::string::npos ? url : url.substr(0, end);
}

}  // namespace

void WeatherService::setCaBundlePath(const std::string& path) {
    std::ifstream in(path);
    if (!in.is_open()) return;
    g_caBundlePath = path;
    platform::setOwnEnvironment("SSL_CERT_FILE", path);
}

const std::string& WeatherService::caBundlePath() { return g_caBundlePath; }

std::string WeatherService::httpGet(const std::string& url) {
    HttpReply reply = httpFetch(url);
    return reply.ok() ? std::move(reply.body) : std::string();
}

WeatherService::HttpReply WeatherService::httpFetch(const std::string& url) {
    if (abortFlag.load()) return {};
    const std::string label = logLabel(url);
    const bool overridden = !serviceBaseOverride().empty();
    if (!serviceUrlAllowed(url)) {
        Log::warn("http: %s (%s)", kRefused, label.c_str());
        return {};
    }

    Transfer t;
    t.service = this;
    t.handle = curl_easy_init();
    if (!t.handle) return {};
    CURL* h = t.handle;

    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writeCallback);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t.body);
    curl_easy_setopt(h, CURLOPT_TIMEOUT, kTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, xferCallback);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
    if (!g_caBundlePath.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, g_caBundlePath.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    const char* protocols = overridden ? "http,https" : "https";
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, protocols);
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
    if (overridden) {
        curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, openSocketCallback);
        curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &t);
        curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, prereqCallback);
        curl_easy_setopt(h, CURLOPT_PREREQDATA, &t);
    }

    const CURLcode rc = curl_easy_perform(h);
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(h);

    if (rc != CURLE_OK) {
        if (t.refused)
            Log::warn("http: %s (%s)", kRefused, label.c_str());
        else if (rc != CURLE_ABORTED_BY_CALLBACK)  // an abort at shut-down is silent
            Log::warn("http: %s (%s)", curl_easy_strerror(rc), label.c_str());
        HttpReply failed;
        // Only a reply that came whole and still does not read is the
        // reply's fault (a write error comes only from the body limit in
        // writeCallback). A transfer cut part-way is the network's: closed
        // after the headers or inside a body of announced length or in
        // chunks (CURLE_PARTIAL_FILE), reset (CURLE_RECV_ERROR), closed
        // before any reply (CURLE_GOT_NOTHING).
        failed.unreadable =
            rc == CURLE_WRITE_ERROR || rc == CURLE_FILESIZE_EXCEEDED || rc == CURLE_BAD_CONTENT_ENCODING;
        return failed;
    }
    HttpReply reply{status, std::move(t.body)};
    if (!reply.ok()) Log::warn("http: status %ld (%s)", status, label.c_str());
    return reply;
}

}  // namespace nbr
