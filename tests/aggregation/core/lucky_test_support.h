#pragma once
// The lucky-gift chain's world: the store world with the zone "s1" and the
// three stage delays (30 s, 60 s, 90 s, given as number, text and double),
// the game server's gift query answering each stage as the test sets it
// (a gift at first) and its claim answering "200".

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "tests/aggregation/core/store_test_support.h"

namespace storetest {

constexpr const char* Gift = R"({"status":200,"data":{"title":"Lucky","is_custom":"1","items":[{"mid":"1"}]}})";
constexpr const char* CustomGift = R"({"status":200,"data":{"is_custom":2,"items":[{"mid":"1"}]}})";

class LuckyChainTest : public StoreTest {
protected:
    LuckyChainTest() {
        entity->setService_id(text("s1"));
        entity->setLuck_time(ns::Number::withLongLong(30));
        entity->setDay_time(text("60"));
        entity->setActive_time(ns::Number::withDouble(90));
        for (const char* stage : {"luck", "day", "active"}) answer(stage, Gift);
        server.route("GET", "/luck/index", [this](const testing::RecordedRequest& request, testing::Reply& reply) {
            std::lock_guard<std::mutex> hold(lock);
            reply = json(answers[request.query.substr(request.query.rfind("time=") + 5)]);
        });
        server.route("GET", "/luck/get", json(R"({"status":200})"));
    }

    void answer(const std::string& stage, std::string body) {
        std::lock_guard<std::mutex> hold(lock);
        answers[stage] = std::move(body);
    }
    // The stages asked for at a path, in order.
    std::vector<std::string> stages(const std::string& path) const {
        std::vector<std::string> found;
        for (auto& request : requestsTo(path)) {
            EXPECT_EQ(request.query.rfind("game_id=7&role_id=r1&server_id=s1&time=", 0), 0u) << request.query;
            found.push_back(request.query.substr(request.query.rfind("time=") + 5));
        }
        return found;
    }

    std::mutex lock;
    std::map<std::string, std::string> answers;
};

using Stages = std::vector<std::string>;

}  // namespace storetest
