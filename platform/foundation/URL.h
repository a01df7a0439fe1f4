#pragma once
// URLs after RFC 3986: parsing into components, resolution of a reference
// against a base (section 5.2), and the platform's path helpers.
//
// Text the platform refuses gives nil: characters outside printable ASCII,
// space, any of "<>\"\\^`{|}", a "%" without two hexadecimal digits, a second
// "#", a port that is not all digits. "[" and "]" are accepted anywhere, as
// the platform's older parser did.

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class URL : public Object {
    RT_DECLARE_CLASS(URL)
public:
    URL() = default;

    static Ref<URL> make(std::string_view text);
    // The reference resolved against `base` (ignored when the text has a
    // scheme of its own); "" gives the base itself.
    static Ref<URL> make(std::string_view text, const Ref<URL>& base);
    // A "file://" URL of an absolute path (a relative one is taken from the
    // working directory). A trailing "/" marks a directory; without the flag,
    // an existing directory gets one.
    static Ref<URL> fileURLWithPath(std::string_view path);
    static Ref<URL> fileURLWithPath(std::string_view path, bool isDirectory);

    Ref<String> absoluteString() const;
    Ref<String> relativeString() const;
    const Ref<URL>& baseURL() const { return base_; }
    Ref<URL> absoluteURL() const;

    // Components of the absolute URL; nil when absent. User, password, host
    // and path are percent-decoded; query and fragment are as written. The
    // path loses a trailing "/" (but "/" stays) and is nil for URLs without
    // a hierarchy ("mailto:x@y").
    Ref<String> scheme() const;
    Ref<String> user() const;
    Ref<String> password() const;
    Ref<String> host() const;
    Ref<Number> port() const;
    Ref<String> path() const;
    Ref<String> query() const;
    Ref<String> fragment() const;

    Ref<String> lastPathComponent() const;
    Ref<String> pathExtension() const;
    bool hasDirectoryPath() const;
    // Appends one path segment, escaping what a path may not hold; the query
    // and fragment stay.
    Ref<URL> URLByAppendingPathComponent(std::string_view component, bool isDirectory = false) const;
    bool isFileURL() const;
    // The file's size in bytes as the file system reports it (the file-size
    // resource value); nothing for a URL that is not a file URL or a file
    // that cannot be read.
    std::optional<int64_t> fileSizeResourceValue() const;

    // The relative text, then " -- " and the base for relative URLs.
    std::string description() const override;
    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override { return self(); }

    // The five components of RFC 3986 section 3, as written.
    struct Parts {
        bool hasScheme = false;
        std::string scheme;
        bool hasAuthority = false;
        std::string authority;
        std::string path;
        bool hasQuery = false;
        std::string query;
        bool hasFragment = false;
        std::string fragment;

        static Parts parse(std::string_view text);
        std::string recompose() const;
        // RFC 3986 section 5.2.2: this reference against an absolute base.
        Parts resolvedAgainst(const Parts& base) const;
    };
    static std::string removeDotSegments(std::string_view path);

private:
    struct Authority {
        bool hasUser = false, hasPassword = false, hasPort = false;
        std::string user, password, host;
        uint64_t port = 0;
    };
    static bool parseAuthority(std::string_view text, Authority& out);
    static Ref<URL> build(std::string relative, Ref<URL> base);

    std::string relative_;
    Ref<URL> base_;
    std::string absolute_;
    Parts parts_;
    Authority authority_;
};

}  // namespace ns
