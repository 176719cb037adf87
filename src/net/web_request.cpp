#include "net/web_request.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/log.h"

namespace {

constexpr std::size_t kInitialBufferBytes = 100000;

bool IsAsciiAlphanumeric(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string EscapeUrl(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(text.size() + 1);
    for (const char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        if (IsAsciiAlphanumeric(c)) {
            escaped += byte;
        } else {
            escaped += '%';
            escaped += kHex[c >> 4];
            escaped += kHex[c & 15];
        }
    }
    return escaped;
}

int32_t NextRequestId(int32_t& counter) {
    // The sequence runs through the negative numbers and skips 0 after -1; unsigned
    // arithmetic makes the step past the largest value defined.
    counter = counter == -1 ? 1 : static_cast<int32_t>(static_cast<uint32_t>(counter) + 1u);
    return counter;
}

WebRequest::~WebRequest() {
    if (multi_ && easy_) curl_multi_remove_handle(multi_.get(), easy_.get());
}

bool WebRequest::Prepare(const char* url, const char* user, const char* password) {
    state_ = WebRequestState::kIdle;
    multi_.reset(curl_multi_init());
    easy_.reset(curl_easy_init());
    if (!multi_ || !easy_) return false;
    CURL* const easy = easy_.get();
    error_[0] = '\0';
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error_);
    url_ = url ? url : "";
    curl_easy_setopt(easy, CURLOPT_URL, url_.c_str());
    // Polled from the frame: no signals from libcurl, and nothing but the web.
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // A declared length over the bound fails before any byte arrives; Append bounds the rest.
    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxReplyBytes));
    if (user && *user) {
        credentials_ = std::string(user) + ":" + (password ? password : "");
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(easy, CURLOPT_USERPWD, credentials_.c_str());
    }
    response_.clear();
    response_.reserve(kInitialBufferBytes);
    too_large_ = false;
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &WebRequest::Receive);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "velk-engine");
    curl_easy_setopt(easy, CURLOPT_POST, 0L);
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 0L);
    curl_multi_add_handle(multi_.get(), easy);
    keep_ = true;
    return true;
}

std::size_t WebRequest::Receive(char* data, std::size_t size, std::size_t count, void* request) {
    // libcurl caps size * count at its own buffer size: the product cannot wrap.
    const std::size_t bytes = size * count;
    // Anything short of the count makes libcurl end the transfer with a write error.
    return static_cast<WebRequest*>(request)->Append(data, bytes) ? bytes : 0;
}

bool WebRequest::Append(const char* data, std::size_t bytes) {
    if (bytes > kMaxReplyBytes - response_.size()) {
        too_large_ = true;
        return false;
    }
    try {
        // Doubling, but never past the bound: a reply at the bound costs the bound.
        const std::size_t needed = response_.size() + bytes;
        if (needed > response_.capacity()) {
            response_.reserve(std::min(std::max(needed, 2 * response_.capacity()), kMaxReplyBytes));
        }
        response_.append(data, bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void WebRequest::StartGet() {
    curl_easy_setopt(easy_.get(), CURLOPT_HTTPGET, 1L);
    state_ = WebRequestState::kRunning;
    Poll();
}

bool WebRequest::AddField(std::string_view key, std::string_view value) {
    if (state_ != WebRequestState::kIdle || !easy_) return false;
    if (!body_.empty()) body_ += '&';
    body_ += EscapeUrl(key);
    body_ += '=';
    body_ += EscapeUrl(value);
    return true;
}

bool WebRequest::StartPost() {
    if (state_ != WebRequestState::kIdle || !easy_) return false;
    CURL* const easy = easy_.get();
    curl_easy_setopt(easy, CURLOPT_POST, 1L);
    // The size is always given, so libcurl never reads the body from elsewhere.
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body_.c_str());
    state_ = WebRequestState::kRunning;
    Poll();
    return state_ != WebRequestState::kFailed;
}

void WebRequest::Poll() {
    if (state_ != WebRequestState::kRunning) return;
    int running = 0;
    CURLMcode code = CURLM_CALL_MULTI_PERFORM;
    while (code == CURLM_CALL_MULTI_PERFORM) code = curl_multi_perform(multi_.get(), &running);
    if (code != CURLM_OK) {
        if (!error_[0]) std::snprintf(error_, sizeof error_, "%s", curl_multi_strerror(code));
        Finish(CURLE_FAILED_INIT);
        return;
    }
    if (running) return;
    int queued = 0;
    CURLcode result = CURLE_FAILED_INIT;
    while (const CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
        if (message->msg == CURLMSG_DONE) result = message->data.result;
    }
    Finish(result);
}

// The transfer's own result decides; its error text is only what the log and the
// script see.
void WebRequest::Finish(CURLcode result) {
    if (too_large_ || result == CURLE_FILESIZE_EXCEEDED) {
        std::snprintf(error_, sizeof error_, "Net: request %d ended: its reply is over the %zu byte bound (%s)", id_,
                      kMaxReplyBytes, url_.c_str());
        // What arrived is of no use; give its memory back now, not at the release.
        std::string().swap(response_);
        result = CURLE_WRITE_ERROR;
    }
    if (result != CURLE_OK && !error_[0]) std::snprintf(error_, sizeof error_, "%s", curl_easy_strerror(result));
    state_ = result == CURLE_OK ? WebRequestState::kDone : WebRequestState::kFailed;
    if (error_[0]) LogPrintf("%s", error_);
}

const char* WebRequest::Output(std::size_t* length) const {
    if (state_ == WebRequestState::kFailed) {
        *length = std::strlen(error_);
        return error_;
    }
    *length = response_.size();
    return response_.empty() ? nullptr : response_.data();
}
