#pragma once
// The two default headers every request serializer starts with.

#include <string>

#include "platform/foundation/Array.h"

// "<language>;q=<q>" for each preferred language, q falling from 1 by 0.1 and
// stopping after 0.5, joined with ", "; empty for no languages.
std::string SDPAcceptLanguageHeaderValue(const ns::Array& preferredLanguages);

// "<executable>/<version> (<device model>; iOS <system version>; Scale/<scale>)",
// transliterated to plain ASCII when it is not already.
std::string SDPUserAgentHeaderValue();
