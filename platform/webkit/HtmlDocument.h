#pragma once
// What the web views take from a page's HTML: its title, its base address
// and its scripts in document order. Parsed leniently (broken markup is
// repaired, never rejected). Internal to the web views.

#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/URL.h"

namespace web::detail {

struct PageScript {
    // Set for <script src>: the address resolved against the document's base.
    ns::Ref<ns::URL> src;
    // The inline text (empty for an external script).
    std::string text;
    int line = 0;
};

struct HtmlDocument {
    // Nil without a <title>.
    ns::Ref<ns::String> title;
    // The <base href> resolved against the document's address, else the
    // document's address.
    ns::Ref<ns::URL> baseURL;
    std::vector<PageScript> scripts;

    // `encoding` is the charset the response named (empty: the document's
    // own <meta charset>, else UTF-8).
    static HtmlDocument parse(std::string_view html, const ns::Ref<ns::URL>& documentURL, std::string_view encoding);
};

}  // namespace web::detail
