#include "tests/aggregation/welfare/welfare_test_support.h"

#include <cstring>

#include "aggregation/core/KVTRDataFormat.h"
#include "aggregation/stores/KVTRStoreSupport.h"

namespace welfaretest {

ns::Ref<ns::Dictionary> json(std::string_view literal) {
    return ns::cast<ns::Dictionary>(KVTRDataFormat::dictionaryWithJsonString(ns::String::make(std::string(literal))));
}

bool isPicture(const ns::Ref<ui::Image>& image, std::string_view name) {
    auto expected = kvtr_stores::storeImage(name);
    if (!image || !expected || !image->cgImage() || !expected->cgImage()) return false;
    const cg::Bitmap& a = image->cgImage()->bitmap();
    const cg::Bitmap& b = expected->cgImage()->bitmap();
    return a.width() == b.width() && a.height() == b.height() &&
           std::memcmp(a.data(), b.data(), a.bytesPerRow() * size_t(a.height())) == 0;
}

std::string goodsReply(int count) {
    std::string list;
    for (int i = 1; i <= count; ++i) {
        if (!list.empty()) list += ",";
        list += R"({"id":")" + std::to_string(i) + R"(","title":"Card )" + std::to_string(i) +
                R"(","content":"Every hour.","money":"6","prop_img":"","game_coin":"600","welfare_nums":"5",)"
                R"("super_welfare_nums":"5","is_buy":")" +
                (i == 1 ? "0" : "1") + R"(","is_coin":"0","is_welfare":"0","is_superwelfare":"0"})";
    }
    return R"({"status":"200","msg":"success","data":{"rule_content":"One card a day.","list":[)" + list + "]}}";
}

}  // namespace welfaretest
