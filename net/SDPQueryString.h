#pragma once
// Flattening of nested parameters into query-string pairs, and the escaping
// of one component.

#include <vector>

#include "net/SDPQueryStringPair.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Object.h"

// Escapes everything outside the URL-query set and also ":#[]@!$&'()*+,;="
// ("/" and "?" stay). Works in slices of 50 UTF-16 units widened to whole
// characters, so long text never splits a surrogate pair.
ns::Ref<ns::String> SDPEscapeQueryComponent(const ns::String& string);

// Dictionaries by sorted key ("key[sub]"), arrays in order ("key[]"), sets by
// sorted member, anything else one pair. `key` may be nil.
std::vector<ns::Ref<SDPQueryStringPair>> SDPQueryStringPairsFromKeyAndValue(const ns::Id& key, const ns::Id& value);

// The pairs of `parameters`, escaped and joined with "&".
ns::Ref<ns::String> SDPQueryStringFromParameters(const ns::Id& parameters);
