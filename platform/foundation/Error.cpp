#include "platform/foundation/Error.h"

#include "platform/foundation/String.h"
#include "platform/foundation/Text.h"

namespace ns {

RT_DEFINE_CLASS(Error, Object, "NSError")

Error::Error(std::string domain, int64_t code, Ref<Dictionary> userInfo)
    : domain_(std::move(domain)), code_(code), userInfo_(userInfo ? std::move(userInfo) : Dictionary::make({})) {}

Ref<Error> Error::make(std::string domain, int64_t code, Ref<Dictionary> userInfo) {
    return std::make_shared<Error>(std::move(domain), code, std::move(userInfo));
}

std::string Error::localizedDescription() const {
    if (auto text = cast<String>(userInfo_->objectForKey(LocalizedDescriptionKey))) return text->utf8();
    return "The operation couldn\u2019t be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

Ref<String> Error::localizedFailureReason() const {
    return cast<String>(userInfo_->objectForKey(LocalizedFailureReasonErrorKey));
}

std::string Error::description() const {
    std::string out = "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" +
                      textOf(userInfo_->objectForKey(LocalizedDescriptionKey)) + "\"";
    if (userInfo_->count() == 0) return out;
    out += " UserInfo={";
    bool first = true;
    userInfo_->enumerateKeysAndObjectsUsingBlock([&](const Id& key, const Id& value, bool&) {
        if (!first) out += ", ";
        first = false;
        out += textOf(key) + "=" + textOf(value);
    });
    return out + "}";
}

uint64_t Error::hash() const { return static_cast<uint64_t>(code_) ^ String(domain_).hash(); }

bool Error::isEqual(const Object* other) const {
    auto error = dynamic_cast<const Error*>(other);
    if (error == this) return true;
    return error && error->code_ == code_ && error->domain_ == domain_ && error->userInfo_->isEqual(userInfo_.get());
}

}  // namespace ns
