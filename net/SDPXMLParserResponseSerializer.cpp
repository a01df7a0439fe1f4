#include "net/SDPXMLParserResponseSerializer.h"

#include "platform/foundation/XMLParser.h"

RT_DEFINE_CLASS(SDPXMLParserResponseSerializer, SDPHTTPResponseSerializer, "SDPXMLParserResponseSerializer")

SDPXMLParserResponseSerializer::SDPXMLParserResponseSerializer() {
    setAcceptableContentTypes(ns::Set::make({ns::str("application/xml"), ns::str("text/xml")}));
}

ns::Id SDPXMLParserResponseSerializer::responseObjectForResponse(const ns::Ref<ns::URLResponse>& response,
                                                                 const ns::Ref<ns::Data>& data,
                                                                 ns::Ref<ns::Error>* error) {
    if (shouldStopAfterValidating(response, data, error)) return nullptr;
    if (!data) return nullptr;
    return ns::XMLParser::withData(data);
}
