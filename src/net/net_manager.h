#pragma once
// The script's web requests by numeric id. Requests advance only when polled: once when
// they start and once per frame through Update. Main thread only.
//   GetNetManager       the one manager, made on first use
//   FindNetManager      the manager when a script has used it, else null
//   DestroyNetManager   deletes every request (shutdown, while the log still writes)
//   NetManager::Get / PostBegin / PostValue / PostEnd   start and fill requests
//   NetManager::Status / Output / Release               read and free them by id
//   NetManager::Update  polls every request; drops finished ones not kept
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>

#include "net/web_request.h"

class NetManager {
public:
    NetManager();
    ~NetManager();
    NetManager(const NetManager&) = delete;
    NetManager& operator=(const NetManager&) = delete;

    // The id of a started GET, 0 when it failed at once.
    int32_t Get(const char* url, const char* user, const char* password);
    // The id of a prepared POST, 0 when libcurl gave no handles.
    int32_t PostBegin(const char* url, const char* user, const char* password);
    bool PostValue(int32_t id, std::string_view key, std::string_view value);
    // False when the request was not idle or failed at once (it then stays, failed).
    bool PostEnd(int32_t id, bool keep);
    // Failed for an unknown id.
    WebRequestState Status(int32_t id) const;
    // Null for an unknown id; see WebRequest::Output.
    const char* Output(int32_t id, std::size_t* length) const;
    bool Release(int32_t id);
    void Update();

private:
    WebRequest* Find(int32_t id) const;
    std::unique_ptr<WebRequest> Prepare(const char* url, const char* user, const char* password);

    std::map<int32_t, std::unique_ptr<WebRequest>> requests_;
};

NetManager& GetNetManager();
NetManager* FindNetManager();
void DestroyNetManager();
