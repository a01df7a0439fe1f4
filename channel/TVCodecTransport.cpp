#include "channel/TVCodecTransport.h"

#include <string>

#include "channel/DecodeGzipBase64.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLConnection.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLRequest.h"

RT_DEFINE_CLASS(TVCodecTransport, ns::Object, "TVCodecTransport")

namespace {

// One request: its closures and the reply's pieces until it has arrived.
class CodecRequest : public ns::URLConnectionDataDelegate {
public:
    CodecRequest(std::function<ns::Id(const ns::Ref<ns::Data>&)> decode, TVCodecTransport::Success success,
                 TVCodecTransport::Failure failure)
        : decode_(std::move(decode)),
          success_(std::move(success)),
          failure_(std::move(failure)) {}

    void didReceiveResponse(ns::URLConnection&, const ns::Ref<ns::URLResponse>&) override {
        ns::log("*********************请求开始*********************");
        body_.clear();  // a redirect's body is not part of the reply
    }

    void didReceiveData(ns::URLConnection&, const ns::Ref<ns::Data>& data) override {
        if (data) body_.append(data->view());
    }

    void connectionDidFinishLoading(ns::URLConnection&) override {
        auto success = std::move(success_);
        failure_ = nullptr;
        if (success) success(decode_(ns::Data::withBytes(body_)));
    }

    void didFailWithError(ns::URLConnection&, const ns::Ref<ns::Error>& error) override {
        ns::log("***********************请求失败**************");
        ns::log("失败信息: %@", error ? error->description() : std::string("(null)"));
        auto failure = std::move(failure_);
        success_ = nullptr;
        if (failure) failure(error);
    }

private:
    std::function<ns::Id(const ns::Ref<ns::Data>&)> decode_;
    TVCodecTransport::Success success_;
    TVCodecTransport::Failure failure_;
    std::string body_;
};

}  // namespace

void TVCodecTransport::POST(std::string_view URLString, const ns::Ref<ns::Dictionary>& parameters, Success success,
                            Failure failure) {
    auto url = ns::URL::make(URLString);
    if (!url || !url->scheme()) {
        auto error = ns::makeURLError(ns::URLErrorBadURL, url);
        dispatch::async(dispatch::mainQueue(), [failure = std::move(failure), error] {
            if (failure) failure(error);
        });
        return;
    }
    auto request = ns::MutableURLRequest::make(url, ns::URLRequestReloadIgnoringLocalCacheData, kTimeoutSeconds);
    request->setValueForHTTPHeaderField("text/html", "Content-Type");
    request->setHTTPBody(DecodeGzipBase64::codingJSON(parameters));
    request->setHTTPMethod("POST");
    // The request holds its transport until the reply is decoded.
    auto self = ref<const TVCodecTransport>();
    auto delegate = std::make_shared<CodecRequest>(
        [self](const ns::Ref<ns::Data>& body) { return self->decode(body); }, std::move(success),
        std::move(failure));
    ns::URLConnection::connectionWithRequest(request, delegate);
}

ns::Id TVCodecTransport::decode(const ns::Ref<ns::Data>& body) const {
    return DecodeGzipBase64::decodingJSON(body);
}
