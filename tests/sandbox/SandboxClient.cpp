#include "tests/sandbox/SandboxClient.h"

#include <httplib.h>

#include "platform/foundation/Data.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/String.h"

namespace sandbox::test {

ns::Id Reply::json() const {
    return ns::JSONSerialization::JSONObjectWithData(ns::Data::withBytes(body), ns::JSONReadingFragmentsAllowed);
}

ns::Ref<ns::Dictionary> Reply::object() const { return ns::cast<ns::Dictionary>(json()); }

namespace {

Reply from(const httplib::Result& result) {
    Reply reply;
    if (!result) return reply;
    reply.status = result->status;
    reply.body = result->body;
    return reply;
}

}  // namespace

Reply get(const HttpServer& server, const std::string& pathAndQuery) {
    httplib::Client client("127.0.0.1", server.port());
    return from(client.Get(pathAndQuery));
}

Reply post(const HttpServer& server, const std::string& path, const std::string& formBody) {
    httplib::Client client("127.0.0.1", server.port());
    return from(client.Post(path, formBody, "application/x-www-form-urlencoded"));
}

ns::Id valueAt(const ns::Id& dictionary, const std::string& key) {
    auto object = ns::cast<ns::Dictionary>(dictionary);
    return object ? object->objectForKey(key) : nullptr;
}

std::string text(const ns::Id& dictionary, const std::string& key) {
    auto value = ns::cast<ns::String>(valueAt(dictionary, key));
    return value ? value->utf8() : std::string();
}

}  // namespace sandbox::test
