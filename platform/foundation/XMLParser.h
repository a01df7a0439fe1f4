#pragma once
// An event-driven XML parser: parse() walks the document once and tells the
// delegate about each element, text and error as it goes. Creating a parser
// does no work; nothing is read or allocated until parse().
//
// Names and text are delivered as String. Without namespace processing an
// element's name is its qualified name ("p:item"), namespaceURI and
// qualifiedName are nil, and namespace declarations appear among the
// attributes; with it, the name is the local part and the declarations are
// left out. Attribute keys are always qualified names.
//
// External entities and DTDs are never fetched; entities other than the five
// predefined ones are an error.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

inline constexpr const char* XMLParserErrorDomain = "NSXMLParserErrorDomain";
// Parse errors carry the underlying parser's error number as their code
// (4: empty document, 5: premature end, ...); abortParsing gives this one.
inline constexpr int64_t XMLParserDelegateAbortedParseError = 512;

class XMLParser;

class XMLParserDelegate {
public:
    virtual ~XMLParserDelegate() = default;

    virtual void parserDidStartDocument(XMLParser&) {}
    // Only after a parse that succeeded.
    virtual void parserDidEndDocument(XMLParser&) {}
    // `attributes` maps names to values in document order; empty, never nil.
    virtual void didStartElement(XMLParser&, const Ref<String>& /*elementName*/, const Ref<String>& /*namespaceURI*/,
                                 const Ref<String>& /*qualifiedName*/, const Ref<Dictionary>& /*attributes*/) {}
    virtual void didEndElement(XMLParser&, const Ref<String>& /*elementName*/, const Ref<String>& /*namespaceURI*/,
                               const Ref<String>& /*qualifiedName*/) {}
    // Text may arrive in several pieces.
    virtual void foundCharacters(XMLParser&, const Ref<String>& /*characters*/) {}
    // The bytes of a CDATA section; they do not reach foundCharacters.
    virtual void foundCDATA(XMLParser&, const Ref<Data>& /*block*/) {}
    // The first error; parsing stops after it. Not called for abortParsing.
    virtual void parseErrorOccurred(XMLParser&, const Ref<Error>& /*error*/) {}
};

class XMLParser : public Object {
    RT_DECLARE_CLASS(XMLParser)
public:
    XMLParser() = default;
    ~XMLParser() override;

    static Ref<XMLParser> withData(Ref<Data> data);
    // A file URL, read when parse() starts; other schemes fail to parse.
    static Ref<XMLParser> withContentsOfURL(Ref<URL> url);

    // Held weakly, as the platform holds delegates; kept alive for the
    // length of a parse.
    void setDelegate(const std::shared_ptr<XMLParserDelegate>& delegate) { delegate_ = delegate; }
    std::shared_ptr<XMLParserDelegate> delegate() const { return delegate_.lock(); }

    bool shouldProcessNamespaces() const { return processNamespaces_; }
    void setShouldProcessNamespaces(bool value) { processNamespaces_ = value; }

    // Parses the whole document on the calling thread; true when it was well
    // formed and not aborted. Each call starts again from the beginning; a
    // call from inside a parse returns false.
    bool parse();
    // From a delegate callback: stops the parse, which then returns false
    // with XMLParserDelegateAbortedParseError. Does nothing outside a parse.
    void abortParsing();
    // The error of the last parse, nil when it succeeded.
    const Ref<Error>& parserError() const { return error_; }

private:
    struct Session;
    friend struct Session;

    Ref<Data> data_;
    Ref<URL> url_;
    std::weak_ptr<XMLParserDelegate> delegate_;
    bool processNamespaces_ = false;
    Ref<Error> error_;
    Session* session_ = nullptr;
};

}  // namespace ns
