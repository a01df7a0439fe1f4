#include "platform/foundation/XMLParser.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <climits>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Number.h"

namespace ns {

RT_DEFINE_CLASS(XMLParser, Object, "NSXMLParser")

namespace {

#if LIBXML_VERSION >= 21200
using ErrorPointer = const xmlError*;
#else
using ErrorPointer = xmlErrorPtr;
#endif

std::string_view view(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}
std::string_view view(const xmlChar* begin, const xmlChar* end) {
    return std::string_view(reinterpret_cast<const char*>(begin), size_t(end - begin));
}

std::string qualified(const xmlChar* prefix, const xmlChar* localname) {
    std::string name;
    if (prefix) {
        name = view(prefix);
        name += ':';
    }
    name += view(localname);
    return name;
}

}  // namespace

// One run of parse(): the libxml2 context and the callbacks that translate
// its events for the delegate.
struct XMLParser::Session {
    XMLParser& parser;
    std::shared_ptr<XMLParserDelegate> delegate;
    xmlParserCtxtPtr context = nullptr;
    bool stopped = false;
    bool aborted = false;

    static Session& of(void* userData) { return *static_cast<Session*>(userData); }

    bool live() const { return !stopped && delegate; }

    void stop() {
        stopped = true;
        if (context) xmlStopParser(context);
    }

    static void startDocument(void* userData) {
        Session& s = of(userData);
        if (s.live()) s.delegate->parserDidStartDocument(s.parser);
    }

    static void startElement(void* userData, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri,
                             int namespaceCount, const xmlChar** namespaces, int attributeCount, int /*defaulted*/,
                             const xmlChar** attributes) {
        Session& s = of(userData);
        if (!s.live()) return;
        const bool processing = s.parser.processNamespaces_;
        auto attributeMap = MutableDictionary::dictionaryWithCapacity(uint64_t(std::max(attributeCount, 0)));
        if (!processing) {
            for (int i = 0; i < namespaceCount; ++i) {
                const xmlChar* declared = namespaces[2 * i];
                std::string name = declared ? "xmlns:" + std::string(view(declared)) : std::string("xmlns");
                attributeMap->setObjectForKey(String::make(std::string(view(namespaces[2 * i + 1]))), name);
            }
        }
        for (int i = 0; i < attributeCount; ++i) {
            const xmlChar** a = attributes + 5 * i;  // localname, prefix, URI, value, end
            attributeMap->setObjectForKey(String::make(std::string(view(a[3], a[4]))), qualified(a[1], a[0]));
        }
        Ref<Dictionary> frozen = cast<Dictionary>(attributeMap->copy());
        if (processing) {
            s.delegate->didStartElement(s.parser, String::make(std::string(view(localname))),
                                        uri ? String::make(std::string(view(uri))) : nullptr,
                                        String::make(qualified(prefix, localname)), frozen);
        } else {
            s.delegate->didStartElement(s.parser, String::make(qualified(prefix, localname)), nullptr, nullptr, frozen);
        }
    }

    static void endElement(void* userData, const xmlChar* localname, const xmlChar* prefix, const xmlChar* uri) {
        Session& s = of(userData);
        if (!s.live()) return;
        if (s.parser.processNamespaces_) {
            s.delegate->didEndElement(s.parser, String::make(std::string(view(localname))),
                                      uri ? String::make(std::string(view(uri))) : nullptr,
                                      String::make(qualified(prefix, localname)));
        } else {
            s.delegate->didEndElement(s.parser, String::make(qualified(prefix, localname)), nullptr, nullptr);
        }
    }

    static void characters(void* userData, const xmlChar* text, int length) {
        Session& s = of(userData);
        if (s.live()) s.delegate->foundCharacters(s.parser, String::make(std::string(view(text, text + length))));
    }

    static void cdata(void* userData, const xmlChar* text, int length) {
        Session& s = of(userData);
        if (s.live()) s.delegate->foundCDATA(s.parser, Data::withBytes(text, size_t(length)));
    }

    static void error(void* userData, ErrorPointer e) {
        Session& s = of(userData);
        if (s.stopped || !e || e->level < XML_ERR_ERROR) return;
        // Prefixes are plain names unless namespaces are being processed.
        if (e->domain == XML_FROM_NAMESPACE && !s.parser.processNamespaces_) return;
        std::string message = e->message ? e->message : "";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
        auto error = Error::make(XMLParserErrorDomain, e->code,
                                 Dictionary::make({
                                     {"NSXMLParserErrorMessage", String::make(message)},
                                     {"NSXMLParserErrorLineNumber", Number::withLongLong(e->line)},
                                     {"NSXMLParserErrorColumn", Number::withLongLong(e->int2)},
                                 }));
        s.parser.error_ = error;
        s.stop();
        if (s.delegate) s.delegate->parseErrorOccurred(s.parser, error);
    }

    static void endDocument(void* userData) {
        Session& s = of(userData);
        if (s.live()) s.delegate->parserDidEndDocument(s.parser);
    }
};

XMLParser::~XMLParser() = default;

Ref<XMLParser> XMLParser::withData(Ref<Data> data) {
    auto parser = std::make_shared<XMLParser>();
    parser->data_ = std::move(data);
    return parser;
}

Ref<XMLParser> XMLParser::withContentsOfURL(Ref<URL> url) {
    auto parser = std::make_shared<XMLParser>();
    parser->url_ = std::move(url);
    return parser;
}

bool XMLParser::parse() {
    static std::once_flag initialized;
    std::call_once(initialized, [] { xmlInitParser(); });

    // A delegate calling parse() from inside a callback gets a refusal, not a
    // second session over the same state.
    if (session_) return false;
    error_ = nullptr;
    Ref<Data> data = data_;
    if (!data && url_ && url_->isFileURL() && url_->path()) data = Data::withContentsOfFile(url_->path()->utf8());
    if (!data) {
        // The platform's code for a document that could not be read at all.
        error_ = Error::make(XMLParserErrorDomain, 4);
        return false;
    }
    // Keeps this parser alive should the delegate drop the last reference.
    Id keepAlive = self();

    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startDocument = &Session::startDocument;
    handler.endDocument = &Session::endDocument;
    handler.startElementNs = &Session::startElement;
    handler.endElementNs = &Session::endElement;
    handler.characters = &Session::characters;
    handler.ignorableWhitespace = &Session::characters;
    handler.cdataBlock = &Session::cdata;
    handler.serror = &Session::error;

    Session session{*this, delegate_.lock()};
    session.context = xmlCreatePushParserCtxt(&handler, &session, nullptr, 0, nullptr);
    if (!session.context) {
        error_ = Error::make(XMLParserErrorDomain, 2);  // out of memory
        return false;
    }
    // Character and predefined references are replaced in attribute values
    // too. No other entity can be declared (the handler keeps no DTD), so
    // replacement never reaches an external one.
    xmlCtxtUseOptions(session.context, XML_PARSE_NONET | XML_PARSE_NOENT);
    session_ = &session;

    // libxml2 takes int lengths; large documents go in pieces.
    constexpr size_t Chunk = 1 << 20;
    const char* bytes = reinterpret_cast<const char*>(data->bytes());
    size_t remaining = data->length();
    do {
        size_t n = std::min(remaining, Chunk);
        bool last = n == remaining;
        xmlParseChunk(session.context, bytes, int(n), last ? 1 : 0);
        bytes += n;
        remaining -= n;
    } while (remaining > 0 && !session.stopped);

    session_ = nullptr;
    if (session.context->myDoc) xmlFreeDoc(session.context->myDoc);
    xmlFreeParserCtxt(session.context);

    if (session.aborted) {
        error_ = Error::make(XMLParserErrorDomain, XMLParserDelegateAbortedParseError);
        return false;
    }
    return !error_;
}

void XMLParser::abortParsing() {
    if (!session_ || session_->stopped) return;
    session_->aborted = true;
    session_->stop();
}

}  // namespace ns
