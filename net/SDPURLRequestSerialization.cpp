#include "net/SDPURLRequestSerialization.h"

#include "platform/foundation/Bundle.h"

ns::Ref<ns::String> SDPNetworkingLocalizedString(std::string_view key) {
    return ns::Bundle::mainBundle()->localizedStringForKey(ns::String::make(std::string(key)), ns::String::make(""),
                                                           ns::String::make("SDPNetworking"));
}
