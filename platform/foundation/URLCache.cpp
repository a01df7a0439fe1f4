#include "platform/foundation/URLCache.h"

#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "platform/foundation/Date.h"
#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/HomeDirectory.h"
#include "platform/security/Digest.h"
#include "platform/security/Hex.h"

namespace ns {

RT_DEFINE_CLASS(CachedURLResponse, Object, "NSCachedURLResponse")
RT_DEFINE_CLASS(URLCache, Object, "NSURLCache")

namespace {

constexpr std::string_view fileMagic = "GHURLC1\n";

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

struct CacheControl {
    bool noCache = false;
    bool noStore = false;
    std::optional<double> maxAge;
};

CacheControl cacheControlOf(const HTTPHeaderFields& headers) {
    CacheControl out;
    if (const std::string* pragma = headers.value("Pragma"); pragma && lowered(*pragma).find("no-cache") != std::string::npos) {
        out.noCache = true;
    }
    const std::string* value = headers.value("Cache-Control");
    if (!value) return out;
    const std::string text = lowered(*value);
    size_t start = 0;
    while (start < text.size()) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        start = comma == std::string::npos ? text.size() : comma + 1;
        item.erase(0, item.find_first_not_of(" \t"));
        item.erase(item.find_last_not_of(" \t") + 1);
        if (item.rfind("no-cache", 0) == 0) out.noCache = true;
        else if (item == "no-store") out.noStore = true;
        else if (item.rfind("max-age=", 0) == 0) out.maxAge = std::strtod(item.c_str() + 8, nullptr);
    }
    return out;
}

// ---- The disk format: length-prefixed fields, little-endian ----

class Writer {
public:
    void u64(uint64_t v) { bytes_.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void f64(double v) { bytes_.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void text(std::string_view s) {
        u64(s.size());
        bytes_.append(s);
    }
    void raw(std::string_view s) { bytes_.append(s); }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool u64(uint64_t& v) { return take(&v, sizeof v); }
    bool f64(double& v) { return take(&v, sizeof v); }
    bool text(std::string& s) {
        uint64_t n = 0;
        if (!u64(n) || n > bytes_.size()) return false;
        s.assign(bytes_.substr(0, n));
        bytes_.remove_prefix(n);
        return true;
    }
    bool expect(std::string_view prefix) {
        if (bytes_.substr(0, prefix.size()) != prefix) return false;
        bytes_.remove_prefix(prefix.size());
        return true;
    }

private:
    bool take(void* out, size_t n) {
        if (bytes_.size() < n) return false;
        std::memcpy(out, bytes_.data(), n);
        bytes_.remove_prefix(n);
        return true;
    }
    std::string_view bytes_;
};

std::string fileNameFor(const std::string& key) { return sec::hexLower(sec::sha1(key)) + ".cache"; }

}  // namespace

// ---- CachedURLResponse ----

Ref<CachedURLResponse> CachedURLResponse::make(Ref<URLResponse> response, Ref<Data> data, Ref<Dictionary> userInfo,
                                               uint64_t storagePolicy) {
    auto cached = std::make_shared<CachedURLResponse>();
    cached->response_ = std::move(response);
    cached->data_ = data ? std::move(data) : Data::make();
    cached->userInfo_ = std::move(userInfo);
    cached->storagePolicy_ = storagePolicy;
    return cached;
}

bool CachedURLResponse::isFresh() const {
    auto http = cast<HTTPURLResponse>(response_);
    if (!http || storedAt_ <= 0) return false;
    const CacheControl control = cacheControlOf(http->headerFields());
    if (control.noCache || control.noStore) return false;
    double age = Date::now()->timeIntervalSince1970() - storedAt_;
    if (const std::string* ageHeader = http->headerFields().value("Age")) age += std::strtod(ageHeader->c_str(), nullptr);
    if (control.maxAge) return age < *control.maxAge;
    const std::string* expires = http->headerFields().value("Expires");
    if (!expires) return false;
    auto expiry = parseHTTPDate(*expires);
    if (!expiry) return false;
    double date = storedAt_;
    if (const std::string* dateHeader = http->headerFields().value("Date")) {
        if (auto served = parseHTTPDate(*dateHeader)) date = *served;
    }
    return age < *expiry - date;
}

// ---- URLCache ----

namespace {
std::mutex sharedLock;
Ref<URLCache>& sharedSlot() {
    static Ref<URLCache> shared;
    return shared;
}
}  // namespace

URLCache::~URLCache() = default;

Ref<URLCache> URLCache::sharedURLCache() {
    std::lock_guard guard(sharedLock);
    Ref<URLCache>& shared = sharedSlot();
    if (!shared) shared = make(512 * 1024, 10 * 1024 * 1024, "URLCache");
    return shared;
}

void URLCache::setSharedURLCache(Ref<URLCache> cache) {
    std::lock_guard guard(sharedLock);
    sharedSlot() = std::move(cache);
}

Ref<URLCache> URLCache::make(uint64_t memoryCapacity, uint64_t diskCapacity, std::string diskPath) {
    auto cache = std::make_shared<URLCache>();
    cache->memoryCapacity_ = memoryCapacity;
    cache->diskCapacity_ = diskCapacity;
    cache->diskPath_ = std::move(diskPath);
    return cache;
}

std::string URLCache::keyFor(const URLRequest& request) {
    if (!request.URL()) return {};
    std::string key = request.URL()->absoluteString()->utf8();
    // The fragment never reaches the server, so it does not tell entries apart.
    size_t hash = key.find('#');
    if (hash != std::string::npos) key.resize(hash);
    return key;
}

std::string URLCache::resolvedDiskPathLocked() const {
    if (diskCapacity_ == 0 || diskPath_.empty()) return {};
    if (diskPath_.front() == '/') return diskPath_;
    return cachesDirectory() + "/" + diskPath_;
}

std::string URLCache::diskPath() const {
    std::lock_guard guard(lock_);
    return resolvedDiskPathLocked();
}

void URLCache::loadDiskIndexLocked() {
    const std::string path = resolvedDiskPathLocked();
    if (path == indexedPath_) return;
    // A new home folder (or a first use): index what that folder holds.
    indexedPath_ = path;
    disk_.clear();
    diskUsage_ = 0;
    if (path.empty()) return;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
        if (!entry.is_regular_file(ec)) continue;
        const uint64_t size = entry.file_size(ec);
        if (ec) continue;
        disk_[entry.path().filename().string()] = {size, 0};
        diskUsage_ += size;
    }
}

Ref<CachedURLResponse> URLCache::cachedResponseForRequest(const URLRequest& request) {
    const std::string key = keyFor(request);
    if (key.empty()) return nullptr;
    std::lock_guard guard(lock_);
    if (auto it = memory_.find(key); it != memory_.end()) {
        memoryUse_.splice(memoryUse_.begin(), memoryUse_, it->second.use);
        return it->second.response;
    }
    return readDiskLocked(key);
}

void URLCache::storeCachedResponse(const Ref<CachedURLResponse>& cachedResponse, const URLRequest& request) {
    const std::string key = keyFor(request);
    if (key.empty() || !cachedResponse || cachedResponse->storagePolicy() == URLCacheStorageNotAllowed) return;
    // The stored copy carries its storing time; the caller's object stays as it is.
    auto stored = CachedURLResponse::make(cachedResponse->response(), cachedResponse->data(), cachedResponse->userInfo(),
                                          cachedResponse->storagePolicy());
    stored->storedAt_ = Date::now()->timeIntervalSince1970();
    const uint64_t cost = stored->data()->length();
    std::lock_guard guard(lock_);
    removeMemoryLocked(key);
    if (cost <= memoryCapacity_) {
        memoryUse_.push_front(key);
        memory_[key] = {stored, cost, memoryUse_.begin()};
        memoryUsage_ += cost;
        trimMemoryLocked();
    }
    if (stored->storagePolicy() == URLCacheStorageAllowed) {
        writeDiskLocked(key, *stored);
    } else {
        removeDiskLocked(key);
    }
}

void URLCache::removeCachedResponseForRequest(const URLRequest& request) {
    const std::string key = keyFor(request);
    if (key.empty()) return;
    std::lock_guard guard(lock_);
    removeMemoryLocked(key);
    removeDiskLocked(key);
}

void URLCache::removeAllCachedResponses() {
    std::lock_guard guard(lock_);
    memory_.clear();
    memoryUse_.clear();
    memoryUsage_ = 0;
    loadDiskIndexLocked();
    for (const auto& [name, entry] : disk_) {
        std::error_code ec;
        std::filesystem::remove(std::filesystem::path(indexedPath_) / name, ec);
    }
    disk_.clear();
    diskUsage_ = 0;
}

uint64_t URLCache::memoryCapacity() const {
    std::lock_guard guard(lock_);
    return memoryCapacity_;
}

uint64_t URLCache::diskCapacity() const {
    std::lock_guard guard(lock_);
    return diskCapacity_;
}

void URLCache::setMemoryCapacity(uint64_t bytes) {
    std::lock_guard guard(lock_);
    memoryCapacity_ = bytes;
    trimMemoryLocked();
}

void URLCache::setDiskCapacity(uint64_t bytes) {
    std::lock_guard guard(lock_);
    diskCapacity_ = bytes;
    loadDiskIndexLocked();
    trimDiskLocked();
}

uint64_t URLCache::currentMemoryUsage() const {
    std::lock_guard guard(lock_);
    return memoryUsage_;
}

uint64_t URLCache::currentDiskUsage() const {
    std::lock_guard guard(lock_);
    const_cast<URLCache*>(this)->loadDiskIndexLocked();
    return diskUsage_;
}

bool URLCache::shouldStoreResponse(const URLRequest& request, const URLResponse& response, uint64_t length) const {
    auto http = dynamic_cast<const HTTPURLResponse*>(&response);
    if (!http || !request.HTTPMethod()->isEqualToString("GET")) return false;
    const int64_t status = http->statusCode();
    if (status != 200 && status != 203 && status != 301) return false;
    if (cacheControlOf(http->headerFields()).noStore || cacheControlOf(request.headerFields()).noStore) return false;
    std::lock_guard guard(lock_);
    return length <= std::max(memoryCapacity_, diskCapacity_) / 20;
}

void URLCache::trimMemoryLocked() {
    while (memoryUsage_ > memoryCapacity_ && !memoryUse_.empty()) removeMemoryLocked(memoryUse_.back());
}

void URLCache::removeMemoryLocked(const std::string& key) {
    auto it = memory_.find(key);
    if (it == memory_.end()) return;
    memoryUsage_ -= it->second.cost;
    memoryUse_.erase(it->second.use);
    memory_.erase(it);
}

void URLCache::trimDiskLocked() {
    while (diskUsage_ > diskCapacity_ && !disk_.empty()) {
        auto oldest = disk_.begin();
        for (auto it = disk_.begin(); it != disk_.end(); ++it) {
            if (it->second.lastUse < oldest->second.lastUse) oldest = it;
        }
        std::error_code ec;
        std::filesystem::remove(std::filesystem::path(indexedPath_) / oldest->first, ec);
        diskUsage_ -= oldest->second.size;
        disk_.erase(oldest);
    }
}

void URLCache::removeDiskLocked(const std::string& key) {
    loadDiskIndexLocked();
    auto it = disk_.find(fileNameFor(key));
    if (it == disk_.end()) return;
    std::error_code ec;
    std::filesystem::remove(std::filesystem::path(indexedPath_) / it->first, ec);
    diskUsage_ -= it->second.size;
    disk_.erase(it);
}

void URLCache::writeDiskLocked(const std::string& key, const CachedURLResponse& cached) {
    loadDiskIndexLocked();
    if (indexedPath_.empty()) return;
    Writer w;
    w.raw(fileMagic);
    w.text(key);
    w.f64(cached.storedAt_);
    const URLResponse& response = *cached.response();
    w.text(response.URL() ? response.URL()->absoluteString()->utf8() : std::string());
    if (auto http = dynamic_cast<const HTTPURLResponse*>(&response)) {
        w.u64(1);
        w.u64(uint64_t(http->statusCode()));
        w.text(http->HTTPVersion());
        const auto& fields = http->headerFields().fields();
        w.u64(fields.size());
        for (const auto& [name, value] : fields) {
            w.text(name);
            w.text(value);
        }
    } else {
        w.u64(0);
        w.text(response.MIMEType() ? response.MIMEType()->utf8() : std::string());
        w.u64(uint64_t(response.expectedContentLength()));
        w.text(response.textEncodingName() ? response.textEncodingName()->utf8() : std::string());
    }
    w.text(cached.data()->view());
    const uint64_t size = w.bytes().size();
    removeDiskLocked(key);
    if (size > diskCapacity_) return;
    std::error_code ec;
    std::filesystem::create_directories(indexedPath_, ec);
    const std::string name = fileNameFor(key);
    if (!Data::withBytes(w.bytes())->writeToFile(indexedPath_ + "/" + name, true)) return;
    disk_[name] = {size, ++useCounter_};
    diskUsage_ += size;
    trimDiskLocked();
}

Ref<CachedURLResponse> URLCache::readDiskLocked(const std::string& key) {
    loadDiskIndexLocked();
    auto it = disk_.find(fileNameFor(key));
    if (it == disk_.end()) return nullptr;
    auto bytes = Data::withContentsOfFile(indexedPath_ + "/" + it->first);
    Reader r(bytes ? bytes->view() : std::string_view());
    std::string storedKey, url, body;
    double storedAt = 0;
    uint64_t isHTTP = 0;
    Ref<URLResponse> response;
    bool ok = r.expect(fileMagic) && r.text(storedKey) && storedKey == key && r.f64(storedAt) && r.text(url) &&
              r.u64(isHTTP);
    if (ok && isHTTP) {
        uint64_t status = 0, count = 0;
        std::string version;
        ok = r.u64(status) && r.text(version) && r.u64(count);
        std::vector<HTTPHeaderFields::Field> lines;
        for (uint64_t i = 0; ok && i < count; ++i) {
            std::string name, value;
            ok = r.text(name) && r.text(value);
            lines.emplace_back(std::move(name), std::move(value));
        }
        if (ok) response = HTTPURLResponse::make(URL::make(url), int64_t(status), version, lines);
    } else if (ok) {
        std::string mime, encoding;
        uint64_t length = 0;
        ok = r.text(mime) && r.u64(length) && r.text(encoding);
        if (ok) {
            response = URLResponse::make(URL::make(url), mime.empty() ? nullptr : String::make(mime), int64_t(length),
                                         encoding.empty() ? nullptr : String::make(encoding));
        }
    }
    ok = ok && r.text(body);
    if (!ok) {
        // Unreadable or a different URL with the same name: not an entry.
        removeDiskLocked(key);
        return nullptr;
    }
    it->second.lastUse = ++useCounter_;
    auto cached = CachedURLResponse::make(response, Data::withBytes(body));
    cached->storedAt_ = storedAt;
    return cached;
}

}  // namespace ns
