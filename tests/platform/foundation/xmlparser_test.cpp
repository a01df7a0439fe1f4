#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <string>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/XMLParser.h"

using namespace ns;

namespace {

// Writes every event as one line; consecutive text pieces are joined.
class Recorder : public XMLParserDelegate {
public:
    std::vector<std::string> events;
    std::vector<Ref<Error>> errors;
    std::string abortAt;
    bool reenter = false;
    std::vector<bool> nested;

    void parserDidStartDocument(XMLParser&) override { events.push_back("start-document"); }
    void parserDidEndDocument(XMLParser&) override { events.push_back("end-document"); }
    void didStartElement(XMLParser& parser, const Ref<String>& name, const Ref<String>& uri, const Ref<String>& qName,
                         const Ref<Dictionary>& attributes) override {
        std::string line = "<" + name->utf8();
        if (uri) line += " uri=" + uri->utf8();
        if (qName) line += " q=" + qName->utf8();
        for (const Id& key : *attributes) line += " " + key->description() + "=" + attributes->objectForKey(key)->description();
        events.push_back(line + ">");
        if (name->utf8() == abortAt) parser.abortParsing();
        if (reenter) nested.push_back(parser.parse());
    }
    void didEndElement(XMLParser&, const Ref<String>& name, const Ref<String>& uri, const Ref<String>&) override {
        events.push_back("</" + name->utf8() + (uri ? " uri=" + uri->utf8() : "") + ">");
    }
    void foundCharacters(XMLParser&, const Ref<String>& text) override {
        if (!events.empty() && events.back().rfind("text:", 0) == 0) {
            events.back() += text->utf8();
        } else {
            events.push_back("text:" + text->utf8());
        }
    }
    void foundCDATA(XMLParser&, const Ref<Data>& block) override { events.push_back("cdata:" + std::string(block->view())); }
    void parseErrorOccurred(XMLParser&, const Ref<Error>& error) override {
        errors.push_back(error);
        events.push_back("error");
    }
};

struct Parsed {
    bool ok;
    std::shared_ptr<Recorder> recorder;
    Ref<XMLParser> parser;
};

Parsed parse(std::string_view xml, bool namespaces = false, std::string abortAt = "") {
    auto parser = XMLParser::withData(Data::withBytes(xml));
    auto recorder = std::make_shared<Recorder>();
    recorder->abortAt = std::move(abortAt);
    parser->setDelegate(recorder);
    parser->setShouldProcessNamespaces(namespaces);
    bool ok = parser->parse();
    return {ok, recorder, parser};
}

using Events = std::vector<std::string>;

}  // namespace

TEST(XMLParsing, ReportsElementsTextAndAttributes) {
    auto run = parse(R"(<?xml version="1.0" encoding="UTF-8"?>)"
                     R"(<shop id="7" name="a &amp; b"><item>Tea &lt;green&gt;</item><empty/>)"
                     R"(<note><![CDATA[<raw>]]></note>é</shop>)");
    EXPECT_TRUE(run.ok);
    EXPECT_FALSE(run.parser->parserError());
    EXPECT_EQ(run.recorder->events, (Events{
                                        "start-document",
                                        "<shop id=7 name=a & b>",
                                        "<item>",
                                        "text:Tea <green>",
                                        "</item>",
                                        "<empty>",
                                        "</empty>",
                                        "<note>",
                                        "cdata:<raw>",
                                        "</note>",
                                        "text:é",
                                        "</shop>",
                                        "end-document",
                                    }));
}

TEST(XMLParsing, Namespaces) {
    const char* xml = R"(<r xmlns="urn:d" xmlns:p="urn:p"><p:item p:k="v"/></r>)";
    EXPECT_EQ(parse(xml).recorder->events, (Events{
                                               "start-document",
                                               "<r xmlns=urn:d xmlns:p=urn:p>",
                                               "<p:item p:k=v>",
                                               "</p:item>",
                                               "</r>",
                                               "end-document",
                                           }));
    EXPECT_EQ(parse(xml, true).recorder->events, (Events{
                                                     "start-document",
                                                     "<r uri=urn:d q=r>",
                                                     "<item uri=urn:p q=p:item p:k=v>",
                                                     "</item uri=urn:p>",
                                                     "</r uri=urn:d>",
                                                     "end-document",
                                                 }));
    // An undeclared prefix is only a name unless namespaces are processed.
    EXPECT_TRUE(parse("<x:a/>").ok);
}

TEST(XMLParsing, MalformedDocumentsReportOneError) {
    auto run = parse("<a><b></a>");
    EXPECT_FALSE(run.ok);
    ASSERT_TRUE(run.parser->parserError());
    EXPECT_EQ(run.parser->parserError()->domain(), XMLParserErrorDomain);
    EXPECT_EQ(run.parser->parserError()->code(), 76);  // tag name mismatch
    ASSERT_EQ(run.recorder->errors.size(), 1u);
    EXPECT_EQ(run.recorder->errors[0], run.parser->parserError());
    EXPECT_EQ(run.recorder->events, (Events{"start-document", "<a>", "<b>", "error"}));

    auto empty = parse("");
    EXPECT_FALSE(empty.ok);
    EXPECT_TRUE(empty.parser->parserError());

    auto truncated = parse("<a><b>text");
    EXPECT_FALSE(truncated.ok);
    EXPECT_TRUE(truncated.parser->parserError());
}

TEST(XMLParsing, EntitiesAreNotExpanded) {
    char path[] = "/tmp/xmlparser_secretXXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "secret", 6), 6);
    close(fd);
    auto external = parse(std::string(R"(<!DOCTYPE a [<!ENTITY e SYSTEM "file://)") + path + R"(">]><a>&e;</a>)");
    auto internal = parse(R"(<!DOCTYPE a [<!ENTITY e "boom">]><a>&e;</a>)");
    std::remove(path);
    for (const Parsed* run : {&external, &internal}) {
        EXPECT_FALSE(run->ok);
        for (const auto& event : run->recorder->events) {
            EXPECT_EQ(event.find("secret"), std::string::npos);
            EXPECT_EQ(event.find("boom"), std::string::npos);
        }
    }
}

TEST(XMLParsing, AbortStopsEverything) {
    auto run = parse("<a><stop><c/></stop></a>", false, "stop");
    EXPECT_FALSE(run.ok);
    ASSERT_TRUE(run.parser->parserError());
    EXPECT_EQ(run.parser->parserError()->code(), XMLParserDelegateAbortedParseError);
    EXPECT_TRUE(run.recorder->errors.empty());
    EXPECT_EQ(run.recorder->events, (Events{"start-document", "<a>", "<stop>"}));

    // Outside a parse it does nothing; a later parse runs whole.
    run.parser->abortParsing();
    run.recorder->abortAt.clear();
    run.recorder->events.clear();
    EXPECT_TRUE(run.parser->parse());
    EXPECT_EQ(run.recorder->events.back(), "end-document");
    EXPECT_FALSE(run.parser->parserError());
}

TEST(XMLParsing, ParseFromInsideAParseIsRefused) {
    auto parser = XMLParser::withData(Data::withBytes(std::string_view("<a><b/></a>")));
    auto recorder = std::make_shared<Recorder>();
    recorder->reenter = true;
    parser->setDelegate(recorder);
    EXPECT_TRUE(parser->parse());
    EXPECT_EQ(recorder->nested, (std::vector<bool>{false, false}));
    EXPECT_EQ(recorder->events.size(), 6u);
}

TEST(XMLParsing, UnstartedParserDoesNothing) {
    auto recorder = std::make_shared<Recorder>();
    Weak<XMLParser> weak;
    {
        auto parser = XMLParser::withData(Data::withBytes(std::string_view("<a/>")));
        parser->setDelegate(recorder);
        weak = parser;
        EXPECT_FALSE(parser->parserError());
    }
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(recorder->events.empty());
    EXPECT_EQ(recorder.use_count(), 1);
}

TEST(XMLParsing, ContentsOfFileURL) {
    std::string path = ::testing::TempDir() + "xmlparser_file.xml";
    ASSERT_TRUE(Data::withBytes(std::string_view("<list><i>1</i></list>"))->writeToFile(path, true));
    auto parser = XMLParser::withContentsOfURL(URL::fileURLWithPath(path));
    auto recorder = std::make_shared<Recorder>();
    parser->setDelegate(recorder);
    EXPECT_TRUE(parser->parse());
    EXPECT_EQ(recorder->events.size(), 7u);
    std::remove(path.c_str());

    auto missing = XMLParser::withContentsOfURL(URL::fileURLWithPath(path));
    EXPECT_FALSE(missing->parse());
    EXPECT_TRUE(missing->parserError());
}
