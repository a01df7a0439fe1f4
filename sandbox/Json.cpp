#include "sandbox/Json.h"

#include <stdexcept>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/JSONSerialization.h"

namespace sandbox {

std::string jsonText(const ns::Id& value) {
    ns::Ref<ns::Data> data = ns::JSONSerialization::dataWithJSONObject(value, ns::JSONWritingWithoutEscapingSlashes);
    return std::string(data->view());
}

ns::Id jsonValue(std::string_view text) {
    ns::Ref<ns::Error> error;
    ns::Id value = ns::JSONSerialization::JSONObjectWithData(ns::Data::withBytes(text),
                                                             ns::JSONReadingMutableContainers, &error);
    if (!value) throw std::invalid_argument("not JSON: " + std::string(text.substr(0, 80)));
    return value;
}

}  // namespace sandbox
