#include "net/net_manager.h"

#include <curl/curl.h>

#include "core/log.h"

namespace {

std::unique_ptr<NetManager>& ManagerSlot() {
    static std::unique_ptr<NetManager> manager;
    return manager;
}

// One sequence for the whole process, so ids stay unique across managers.
int32_t g_request_counter = 0;

}  // namespace

NetManager::NetManager() {
    const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK) VELK_WARNING("Net: curl_global_init ERROR (%d)", static_cast<int>(result));
}

NetManager::~NetManager() {
    requests_.clear();
    curl_global_cleanup();
}

std::unique_ptr<WebRequest> NetManager::Prepare(const char* url, const char* user, const char* password) {
    auto request = std::make_unique<WebRequest>(NextRequestId(g_request_counter));
    if (!request->Prepare(url, user, password)) return nullptr;
    return request;
}

int32_t NetManager::Get(const char* url, const char* user, const char* password) {
    std::unique_ptr<WebRequest> request = Prepare(url, user, password);
    if (!request) return 0;
    request->StartGet();
    if (request->state() == WebRequestState::kFailed) return 0;
    const int32_t id = request->id();
    requests_[id] = std::move(request);
    return id;
}

int32_t NetManager::PostBegin(const char* url, const char* user, const char* password) {
    std::unique_ptr<WebRequest> request = Prepare(url, user, password);
    if (!request) return 0;
    const int32_t id = request->id();
    requests_[id] = std::move(request);
    return id;
}

bool NetManager::PostValue(int32_t id, std::string_view key, std::string_view value) {
    WebRequest* const request = Find(id);
    return request && request->AddField(key, value);
}

bool NetManager::PostEnd(int32_t id, bool keep) {
    WebRequest* const request = Find(id);
    if (!request) return false;
    request->set_keep(keep);
    return request->StartPost();
}

WebRequestState NetManager::Status(int32_t id) const {
    const WebRequest* const request = Find(id);
    return request ? request->state() : WebRequestState::kFailed;
}

const char* NetManager::Output(int32_t id, std::size_t* length) const {
    *length = 0;
    const WebRequest* const request = Find(id);
    return request ? request->Output(length) : nullptr;
}

bool NetManager::Release(int32_t id) {
    return requests_.erase(id) != 0;
}

void NetManager::Update() {
    for (auto entry = requests_.begin(); entry != requests_.end();) {
        WebRequest& request = *entry->second;
        request.Poll();
        const bool stays = request.keep() || request.state() < WebRequestState::kDone;
        entry = stays ? std::next(entry) : requests_.erase(entry);
    }
}

WebRequest* NetManager::Find(int32_t id) const {
    const auto found = requests_.find(id);
    return found == requests_.end() ? nullptr : found->second.get();
}

NetManager& GetNetManager() {
    std::unique_ptr<NetManager>& manager = ManagerSlot();
    if (!manager) manager = std::make_unique<NetManager>();
    return *manager;
}

NetManager* FindNetManager() {
    return ManagerSlot().get();
}

void DestroyNetManager() {
    ManagerSlot().reset();
}
