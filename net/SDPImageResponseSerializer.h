#pragma once
// Decodes image bodies with the platform's image decoding and, by default,
// inflates them: PNG and JPEG bodies (and other decodable stills) up to
// 1024 x 1024 pixels are drawn once into a ready-to-draw bitmap on the
// processing queue. Animated images come back with their frames.

#include "net/SDPHTTPResponseSerializer.h"
#include "platform/uikit/Image.h"

// The platform's image from data, decoded while holding one process-wide
// lock, so that no two images decode at once through this path.
ns::Ref<ui::Image> SDP_safeImageWithData(const ns::Ref<ns::Data>& data);

class SDPImageResponseSerializer : public SDPHTTPResponseSerializer {
    RT_DECLARE_CLASS(SDPImageResponseSerializer)
public:
    SDPImageResponseSerializer();
    static ns::Ref<SDPImageResponseSerializer> serializer() { return std::make_shared<SDPImageResponseSerializer>(); }

    // The main screen's scale by default.
    double imageScale() const { return imageScale_; }
    void setImageScale(double scale) { imageScale_ = scale; }
    bool automaticallyInflatesResponseImage() const { return automaticallyInflatesResponseImage_; }
    void setAutomaticallyInflatesResponseImage(bool inflate) { automaticallyInflatesResponseImage_ = inflate; }

    ns::Id responseObjectForResponse(const ns::Ref<ns::URLResponse>& response, const ns::Ref<ns::Data>& data,
                                     ns::Ref<ns::Error>* error) override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    // A new image serializer (its defaults) with the two options.
    ns::Id copy() const override;

private:
    ns::Ref<ui::Image> plainImage(const ns::Ref<ns::Data>& data) const;
    ns::Ref<ui::Image> inflatedImage(const ns::Ref<ns::URLResponse>& response, const ns::Ref<ns::Data>& data) const;

    double imageScale_;
    bool automaticallyInflatesResponseImage_ = true;
};
