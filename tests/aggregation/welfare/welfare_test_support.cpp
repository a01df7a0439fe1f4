#include "tests/aggregation/welfare/welfare_test_support.h"

#include "aggregation/core/KVTRDataFormat.h"

namespace welfaretest {

ns::Ref<ns::Dictionary> json(std::string_view literal) {
    return ns::cast<ns::Dictionary>(KVTRDataFormat::dictionaryWithJsonString(ns::String::make(std::string(literal))));
}

}  // namespace welfaretest
