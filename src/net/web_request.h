#pragma once
// One HTTP GET or POST transfer driven by polling, with its body and response kept in
// memory. Main thread only.
//   WebRequest::Prepare      new easy and multi handles, URL, credentials; state idle
//   WebRequest::StartGet     switches to GET and polls once
//   WebRequest::AddField     one escaped form field of the POST body (idle only)
//   WebRequest::StartPost    sends the body (empty without fields) and polls once
//   WebRequest::Poll         one non-blocking step; ends in done or failed
//   WebRequest::Output       the error text when failed, else what has arrived
//   EscapeUrl                letters and digits as they are, every other byte as %XX
//   NextRequestId            the process-wide id sequence 1, 2, ... wrapping to 1
#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// The most a reply may hold; a larger one ends the request as failed instead of taking
// the game's memory with it.
inline constexpr std::size_t kMaxReplyBytes = 64u * 1024u * 1024u;

enum class WebRequestState : int32_t { kIdle = 0, kRunning = 1, kDone = 2, kFailed = 3 };

class WebRequest {
public:
    explicit WebRequest(int32_t id) : id_(id) {}
    ~WebRequest();
    WebRequest(const WebRequest&) = delete;
    WebRequest& operator=(const WebRequest&) = delete;

    // False when libcurl gave no handles. A null or empty user sends no credentials.
    bool Prepare(const char* url, const char* user, const char* password);
    void StartGet();
    // False unless the request is idle and prepared.
    bool AddField(std::string_view key, std::string_view value);
    bool StartPost();
    void Poll();
    // Null and 0 when nothing has arrived.
    const char* Output(std::size_t* length) const;

    int32_t id() const { return id_; }
    WebRequestState state() const { return state_; }
    bool keep() const { return keep_; }
    void set_keep(bool keep) { keep_ = keep; }

private:
    struct EasyDeleter {
        void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
    };
    struct MultiDeleter {
        void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
    };
    static std::size_t Receive(char* data, std::size_t size, std::size_t count, void* request);
    bool Append(const char* data, std::size_t bytes);
    void Finish(CURLcode result);

    WebRequestState state_ = WebRequestState::kIdle;
    bool keep_ = true;
    const int32_t id_;
    // The multi handle outlives the easy one: the destructor detaches, then the members go.
    std::unique_ptr<CURLM, MultiDeleter> multi_;
    std::unique_ptr<CURL, EasyDeleter> easy_;
    std::string body_;
    std::string response_;
    std::string url_;
    std::string credentials_;
    char error_[CURL_ERROR_SIZE] = {};
    bool too_large_ = false;
};

std::string EscapeUrl(std::string_view text);
int32_t NextRequestId(int32_t& counter);
