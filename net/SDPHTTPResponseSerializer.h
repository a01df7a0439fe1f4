#pragma once
// Checks a response's status code and MIME type and hands back the body
// bytes. The base of every response serializer.

#include "net/SDPURLResponseSerialization.h"
#include "platform/foundation/Coding.h"
#include "platform/foundation/IndexSet.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"

class SDPHTTPResponseSerializer : public ns::Object, public SDPURLResponseSerialization, public ns::Coding {
    RT_DECLARE_CLASS(SDPHTTPResponseSerializer)
public:
    SDPHTTPResponseSerializer();
    static ns::Ref<SDPHTTPResponseSerializer> serializer() { return std::make_shared<SDPHTTPResponseSerializer>(); }

    // Stored only; nothing decodes with it.
    ns::StringEncoding stringEncoding() const { return stringEncoding_; }
    void setStringEncoding(ns::StringEncoding encoding) { stringEncoding_ = encoding; }
    // 200 to 299 by default; nil accepts any code.
    const ns::Ref<ns::IndexSet>& acceptableStatusCodes() const { return acceptableStatusCodes_; }
    void setAcceptableStatusCodes(const ns::Ref<ns::IndexSet>& codes);
    // nil (any type) by default; copied on set. Read it, add a type and set
    // the result back to widen it.
    const ns::Ref<ns::Set>& acceptableContentTypes() const { return acceptableContentTypes_; }
    void setAcceptableContentTypes(const ns::Ref<ns::Set>& types);

    // Whether an HTTP response has an acceptable status code and MIME type
    // (anything else passes). When it is not, `*error` (if given) receives the
    // -1016 content-type error and/or the -1011 status error chained over it;
    // either is made only when the response has a URL, the content-type one
    // only for a non-empty body.
    bool validateResponse(const ns::Ref<ns::URLResponse>& response, const ns::Ref<ns::Data>& data,
                          ns::Ref<ns::Error>* error) const;

    // Validates and returns the body itself whatever the outcome.
    ns::Id responseObjectForResponse(const ns::Ref<ns::URLResponse>& response, const ns::Ref<ns::Data>& data,
                                     ns::Ref<ns::Error>* error) override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    bool supportsSecureCoding() const override { return true; }
    // A new serializer of the same class with copies of both sets.
    ns::Id copy() const override;

protected:
    // The shared start of the decoding serializers: validates, and answers
    // whether decoding should stop (invalid with no error slot, or the
    // content type refused).
    bool shouldStopAfterValidating(const ns::Ref<ns::URLResponse>& response, const ns::Ref<ns::Data>& data,
                                   ns::Ref<ns::Error>* error) const;

private:
    ns::StringEncoding stringEncoding_ = ns::StringEncoding::UTF8;
    ns::Ref<ns::IndexSet> acceptableStatusCodes_;
    ns::Ref<ns::Set> acceptableContentTypes_;
};
