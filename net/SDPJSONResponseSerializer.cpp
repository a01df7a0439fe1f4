#include "net/SDPJSONResponseSerializer.h"

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/DictionaryTable.h"
#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/JSONValues.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/ReplyBudget.h"

RT_DEFINE_CLASS(SDPJSONResponseSerializer, SDPHTTPResponseSerializer, "SDPJSONResponseSerializer")

SDPJSONResponseSerializer::SDPJSONResponseSerializer() {
    setAcceptableContentTypes(
        ns::Set::make({ns::str("application/json"), ns::str("text/json"), ns::str("text/javascript")}));
}

ns::Ref<SDPJSONResponseSerializer> SDPJSONResponseSerializer::serializerWithReadingOptions(uint64_t options) {
    auto serializer = std::make_shared<SDPJSONResponseSerializer>();
    serializer->readingOptions_ = options;
    return serializer;
}

ns::Id SDPJSONResponseSerializer::responseObjectForResponse(const ns::Ref<ns::URLResponse>& response,
                                                            const ns::Ref<ns::Data>& data, ns::Ref<ns::Error>* error) {
    if (shouldStopAfterValidating(response, data, error)) return nullptr;
    // Some servers answer "nothing" with a single space.
    if (!data || data->length() == 0 || data->view() == " ") return nullptr;

    ns::Ref<ns::Error> parseError;
    ns::Id object = ns::JSONSerialization::JSONObjectWithData(data, readingOptions_, &parseError);
    if (object && removesKeysWithNullValues_)
        object = SDPJSONObjectByRemovingKeysWithNullValues(object, readingOptions_);
    if (error) *error = SDPErrorWithUnderlyingError(parseError, *error);
    return object;
}

namespace {

// The copy is held beside what was read until it replaces it: its slots are
// charged with the reply (ReplyCharge), and so is the immutable copy made of
// a mutable one. False once the reply may hold no more.
bool chargeSlots(uint64_t count, uint64_t slot, bool mutableContainers) {
    return ns::ReplyCharge::charge(count * slot * (mutableContainers ? 1 : 2));
}

}  // namespace

ns::Id SDPJSONObjectByRemovingKeysWithNullValues(const ns::Id& object, uint64_t readingOptions) {
    const bool mutableContainers = readingOptions & ns::JSONReadingMutableContainers;
    // What the reader made as immutable containers is copied as it holds
    // its values, in place.
    if (!mutableContainers && (ns::cast<ns::JSONArray>(object) || ns::cast<ns::JSONDictionary>(object))) {
        return ns::JSONWithoutNulls()(object);
    }
    if (auto array = ns::cast<ns::Array>(object)) {
        if (!chargeSlots(array->count(), sizeof(ns::Id), mutableContainers)) return nullptr;
        auto cleaned = ns::MutableArray::arrayWithCapacity(array->count());
        for (const ns::Id& element : *array) {
            ns::Id copy = SDPJSONObjectByRemovingKeysWithNullValues(element, readingOptions);
            if (!copy) return nullptr;
            cleaned->addObject(copy);
        }
        return mutableContainers ? ns::Id(cleaned) : cleaned->copy();
    }
    if (auto dictionary = ns::cast<ns::Dictionary>(object)) {
        if (!chargeSlots(dictionary->count(), ns::DictionaryTable::BytesPerEntry, mutableContainers)) return nullptr;
        auto cleaned = ns::MutableDictionary::dictionaryWithCapacity(dictionary->count());
        for (const ns::Id& key : *dictionary) {
            ns::Id value = dictionary->objectForKey(key);
            if (!value || ns::cast<ns::Null>(value)) continue;
            if (ns::cast<ns::Array>(value) || ns::cast<ns::Dictionary>(value)) {
                value = SDPJSONObjectByRemovingKeysWithNullValues(value, readingOptions);
                if (!value) return nullptr;
            }
            cleaned->setObjectForKey(value, key);
        }
        return mutableContainers ? ns::Id(cleaned) : cleaned->copy();
    }
    return object;
}

void SDPJSONResponseSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    SDPHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(ns::Number::withUnsignedLongLong(readingOptions_), "readingOptions");
    coder.encodeObject(ns::Number::withBool(removesKeysWithNullValues_), "removesKeysWithNullValues");
}

bool SDPJSONResponseSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!SDPHTTPResponseSerializer::initWithCoder(coder)) return false;
    if (auto options = coder.decodeObjectOfClass<ns::Number>("readingOptions")) {
        readingOptions_ = options->unsignedLongLongValue();
    }
    if (auto removes = coder.decodeObjectOfClass<ns::Number>("removesKeysWithNullValues")) {
        removesKeysWithNullValues_ = removes->boolValue();
    }
    return true;
}

ns::Id SDPJSONResponseSerializer::copy() const {
    // Codes and types start from the defaults; only the options carry over.
    auto serializer = ns::cast<SDPJSONResponseSerializer>(classObject()->create());
    if (!serializer) serializer = std::make_shared<SDPJSONResponseSerializer>();
    serializer->readingOptions_ = readingOptions_;
    serializer->removesKeysWithNullValues_ = removesKeysWithNullValues_;
    return serializer;
}
