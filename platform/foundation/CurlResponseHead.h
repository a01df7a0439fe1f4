#pragma once
// A response head as curl's header callback hands it over. One call usually
// holds one line, but a transfer paused while its head arrives gets every
// line curl held meanwhile in a single call as it resumes.
//
// Internal to URL loading.

#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/HTTPHeaderFields.h"

namespace ns::detail {

class CurlResponseHead {
public:
    // Takes one call's bytes: any number of whole lines. Interim 1xx heads
    // are dropped; once the final head is complete, later lines (trailers)
    // are ignored.
    void take(std::string_view buffer);

    // The final head has ended (its empty line has been seen).
    bool complete() const { return complete_; }
    int status() const { return status_; }
    const std::string& version() const { return version_; }
    // Moves the fields out; call once the head is complete.
    std::vector<HTTPHeaderFields::Field> takeHeaders() { return std::move(headers_); }
    // The field lines read so far in all heads, interim ones included: what
    // the parse of the transfer's heads has cost, in fields.
    size_t fieldsRead() const { return fieldsRead_; }

private:
    void takeLine(std::string_view line);

    int status_ = 0;
    std::string version_;
    std::vector<HTTPHeaderFields::Field> headers_;
    bool complete_ = false;
    size_t fieldsRead_ = 0;
};

}  // namespace ns::detail
