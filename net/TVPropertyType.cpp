#include "net/TVPropertyType.h"

#include <map>
#include <mutex>

#include "net/TVFoundation.h"
#include "platform/foundation/Number.h"

RT_DEFINE_CLASS(TVPropertyType, ns::Object, "TVPropertyType")

ns::Ref<TVPropertyType> TVPropertyType::cachedTypeWithCode(std::string_view code) {
    static std::mutex lock;
    static auto* types = new std::map<std::string, ns::Ref<TVPropertyType>, std::less<>>;
    std::lock_guard<std::mutex> hold(lock);
    auto it = types->find(code);
    if (it != types->end()) return it->second;
    auto type = std::make_shared<TVPropertyType>();
    type->setCode(code);
    types->emplace(std::string(code), type);
    return type;
}

void TVPropertyType::setCode(std::string_view code) {
    code_ = std::string(code);
    if (code_ == "@") {
        idType_ = true;
    } else if (code_.empty()) {
        KVCDisabled_ = true;
    } else if (code_.size() >= 4 && code_[0] == '@' && code_[1] == '"') {
        code_ = code_.substr(2, code_.size() - 3);
        typeClass_ = rt::classNamed(code_);
        fromFoundation_ = TVFoundation::isClassFromFoundation(typeClass_);
        numberType_ = typeClass_ && typeClass_->isSubclassOf(ns::Number::staticClass());
    } else if (code_ == ":" || code_ == "^{objc_ivar=}" || code_ == "^{objc_method=}") {
        KVCDisabled_ = true;
    }

    // Single-letter scalars; a class name of one of these letters counts too,
    // as the lower-cased code is what is compared.
    if (code_.size() == 1) {
        char lower = code_[0] >= 'A' && code_[0] <= 'Z' ? char(code_[0] - 'A' + 'a') : code_[0];
        switch (lower) {
            case 'c':
            case 'b':
                numberType_ = true;
                boolType_ = true;
                break;
            case 'i':
            case 's':
            case 'f':
            case 'd':
            case 'l':
            case 'q':
                numberType_ = true;
                break;
            default:
                break;
        }
    }
}
