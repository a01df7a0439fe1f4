#pragma once
// One record as a game server lists them (goods with tags and a nested
// object), its id varying with `i`: the ordinary shape the JSON reader's
// costs are judged by.

#include <cstdint>
#include <string>

namespace jsontest {

inline std::string record(uint64_t i) {
    return R"({"id":)" + std::to_string(123456789 + i) +
           R"(,"name":"sword gem","price":512.25,"count":7,"vip":false,"discount":null,"level":33,)"
           R"("tags":["ring","bow"],"meta":{"server":4,"ts":1701234567,"flag":1}})";
}

}  // namespace jsontest
