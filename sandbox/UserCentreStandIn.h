#pragma once
// The channel stand-in's user-centre routes: the red-dot counters, the
// player's home page, and three-page lists of news, server openings, gift
// packs, trade listings and vouchers (form posts, JSON replies labelled
// "text/html" as the operator's server sends them), and the gift claim in
// the channel's wire format. A claimed pack comes back in the next gift list
// with its code. Counters go out as numbers on odd pages and as numeric
// text on even ones. On demand a list route answers with a "lists" that is
// not an array, an empty list, a 500 or an HTML page. Thread-safe.

#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "platform/runtime/Object.h"
#include "sandbox/HttpServer.h"

namespace sandbox {

class UserCentreStandIn {
public:
    static constexpr int kPages = 3;
    static constexpr int kRowsPerPage = 4;

    enum class Fault { None, NotArray, Empty, ServerError, Html };
    // For every later request to `path` ("Card/lists", ...).
    void setFault(const std::string& path, Fault fault);
    // The rebate text of the home page; whether the profile names an avatar.
    void setRebateText(std::string text);
    void setAvatar(bool named);
    // The "c" of "Home/number" as JSON text, and its "a" (the text "1" unless set).
    void setCounters(std::string json);
    void setCountersStatus(std::string json);

    // The reply to a form post to `endpoint`, or nothing when it is not one
    // of the user centre's. Page addresses in replies start with `origin`.
    std::optional<Response> answer(const std::string& endpoint, const FormFields& fields, const std::string& origin);
    // "Card/receive": {"a", "b", "c"} for the wire format.
    ns::Id claim(const ns::Id& fields);

private:
    std::string listReply(const std::string& endpoint, const FormFields& fields, const std::string& origin);
    std::string row(const std::string& endpoint, const FormFields& fields, int index, const std::string& origin);

    std::mutex lock_;
    std::map<std::string, Fault> faults_;
    std::set<std::string> claims_;  // "<user>|<card id>"
    std::string rebate_ = "充值返利：单日累计充值满100元返10%";
    std::string counters_ = R"({"posts":{"log":0},"card":{"total":3,"log":1}})";
    std::string countersStatus_ = R"("1")";
    bool avatar_ = true;
};

}  // namespace sandbox
