#pragma once
// Decodes property-list bodies ("application/x-plist") with the platform's
// reader.

#include <cstdint>

#include "net/SDPHTTPResponseSerializer.h"
#include "platform/foundation/PropertyList.h"

class SDPPropertyListResponseSerializer : public SDPHTTPResponseSerializer {
    RT_DECLARE_CLASS(SDPPropertyListResponseSerializer)
public:
    SDPPropertyListResponseSerializer();
    static ns::Ref<SDPPropertyListResponseSerializer> serializer() {
        return serializerWithFormat(ns::PropertyListFormat::XML, ns::PropertyListImmutable);
    }
    static ns::Ref<SDPPropertyListResponseSerializer> serializerWithFormat(ns::PropertyListFormat format,
                                                                           uint64_t readOptions);

    ns::PropertyListFormat format() const { return format_; }
    void setFormat(ns::PropertyListFormat format) { format_ = format; }
    uint64_t readOptions() const { return readOptions_; }
    void setReadOptions(uint64_t options) { readOptions_ = options; }

    ns::Id responseObjectForResponse(const ns::Ref<ns::URLResponse>& response, const ns::Ref<ns::Data>& data,
                                     ns::Ref<ns::Error>* error) override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    ns::Id copy() const override;

private:
    ns::PropertyListFormat format_ = ns::PropertyListFormat::XML;
    uint64_t readOptions_ = ns::PropertyListImmutable;
};
