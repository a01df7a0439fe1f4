#pragma once
// Hands back an XML parser over the body ("application/xml", "text/xml"),
// not yet started: decoding errors come from the caller's parse.

#include "net/SDPHTTPResponseSerializer.h"

class SDPXMLParserResponseSerializer : public SDPHTTPResponseSerializer {
    RT_DECLARE_CLASS(SDPXMLParserResponseSerializer)
public:
    SDPXMLParserResponseSerializer();
    static ns::Ref<SDPXMLParserResponseSerializer> serializer() {
        return std::make_shared<SDPXMLParserResponseSerializer>();
    }

    ns::Id responseObjectForResponse(const ns::Ref<ns::URLResponse>& response, const ns::Ref<ns::Data>& data,
                                     ns::Ref<ns::Error>* error) override;
};
