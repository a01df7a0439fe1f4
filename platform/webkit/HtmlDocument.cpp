#include "platform/webkit/HtmlDocument.h"

#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace web::detail {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

std::string attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value) return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

bool hasAttribute(xmlNode* node, const char* name) {
    return xmlHasProp(node, reinterpret_cast<const xmlChar*>(name)) != nullptr;
}

std::string content(xmlNode* node) {
    xmlChar* value = xmlNodeGetContent(node);
    if (!value) return {};
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

std::string trim(std::string_view text) {
    const char* space = " \t\r\n\f";
    size_t begin = text.find_first_not_of(space);
    if (begin == std::string_view::npos) return {};
    size_t end = text.find_last_not_of(space);
    return std::string(text.substr(begin, end - begin + 1));
}

// Classic scripts only: no type, an empty one or a script MIME type.
bool isClassicScript(xmlNode* node) {
    if (!hasAttribute(node, "type")) return true;
    std::string type = lower(trim(attribute(node, "type")));
    if (auto semi = type.find(';'); semi != std::string::npos) type = trim(type.substr(0, semi));
    return type.empty() || type == "text/javascript" || type == "application/javascript" ||
           type == "application/x-javascript" || type == "text/ecmascript" || type == "application/ecmascript";
}

// The title's text with runs of white space made one space, as browsers do.
std::string collapseSpace(std::string_view text) {
    std::string out;
    bool space = false;
    for (char c : trim(text)) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f') {
            space = true;
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

struct Walker {
    HtmlDocument& doc;
    const ns::Ref<ns::URL>& documentURL;
    // The first pass finds the title and the base, the second the scripts:
    // a <base> applies to every script, even one before it.
    bool scriptsPass = false;
    bool baseSeen = false;
    bool titleSeen = false;

    void walk(xmlNode* node) {
        for (; node; node = node->next) {
            if (node->type == XML_ELEMENT_NODE) {
                std::string name = lower(reinterpret_cast<const char*>(node->name));
                if (name == "script") {
                    if (scriptsPass) script(node);
                    continue;
                }
                if (scriptsPass) {
                    // Nothing else to find in this pass.
                } else if (name == "title" && !titleSeen) {
                    titleSeen = true;
                    doc.title = ns::str(collapseSpace(content(node)));
                } else if (name == "base" && !baseSeen && hasAttribute(node, "href")) {
                    baseSeen = true;
                    if (auto url = ns::URL::make(trim(attribute(node, "href")), documentURL)) {
                        doc.baseURL = url->absoluteURL();
                    }
                }
            }
            walk(node->children);
        }
    }

    void script(xmlNode* node) {
        if (!isClassicScript(node)) return;
        PageScript script;
        script.line = static_cast<int>(xmlGetLineNo(node));
        if (hasAttribute(node, "src")) {
            std::string src = trim(attribute(node, "src"));
            // An empty or unusable address runs nothing (the browser fires an
            // error event, which this surface does not have).
            if (src.empty()) return;
            auto url = ns::URL::make(src, doc.baseURL);
            if (!url) return;
            script.src = url->absoluteURL();
        } else {
            script.text = content(node);
        }
        doc.scripts.push_back(std::move(script));
    }
};

// Whether the document names its own charset early on, as a browser's
// prescan would find it.
bool declaresCharset(std::string_view html) {
    std::string head = lower(html.substr(0, std::min<size_t>(html.size(), 1024)));
    return head.find("charset") != std::string::npos;
}

}  // namespace

HtmlDocument HtmlDocument::parse(std::string_view html, const ns::Ref<ns::URL>& documentURL,
                                 std::string_view encoding) {
    HtmlDocument doc;
    doc.baseURL = documentURL;
    if (html.empty()) return doc;

    std::string charset(encoding);
    if (charset.empty() && !declaresCharset(html)) charset = "UTF-8";
    std::string url = documentURL ? documentURL->absoluteString()->utf8() : std::string();
    int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
    std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> parsed(
        htmlReadMemory(html.data(), static_cast<int>(html.size()), url.empty() ? nullptr : url.c_str(),
                       charset.empty() ? nullptr : charset.c_str(), options),
        xmlFreeDoc);
    if (!parsed) return doc;

    xmlNode* root = xmlDocGetRootElement(parsed.get());
    Walker{doc, documentURL, false}.walk(root);
    Walker{doc, documentURL, true}.walk(root);
    return doc;
}

}  // namespace web::detail
