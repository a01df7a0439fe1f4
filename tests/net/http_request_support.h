#pragma once
// Shared by the serializer tests: sending a built request to a loopback
// server and waiting for its outcome, and a temporary folder.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/URLResponse.h"
#include "platform/foundation/URLSession.h"
#include "platform/testing/TaskEnvironment.h"

namespace httptest {

struct Outcome {
    ns::Ref<ns::Data> data;
    ns::Ref<ns::URLResponse> response;
    ns::Ref<ns::Error> error;
    int calls = 0;
};

// Runs `request` on a fresh session and settles the task environment.
inline Outcome send(testing::TaskEnvironment& env, const ns::Ref<ns::URLRequest>& request) {
    auto session =
        ns::URLSession::sessionWithConfiguration(ns::URLSessionConfiguration::ephemeralSessionConfiguration());
    auto result = std::make_shared<Outcome>();
    auto lock = std::make_shared<std::mutex>();
    session
        ->dataTaskWithRequest(
            request,
            [result, lock](ns::Ref<ns::Data> data, ns::Ref<ns::URLResponse> response, ns::Ref<ns::Error> error) {
                std::lock_guard guard(*lock);
                result->data = std::move(data);
                result->response = std::move(response);
                result->error = std::move(error);
                ++result->calls;
            })
        ->resume();
    env.runUntilIdle();
    session->finishTasksAndInvalidate();
    env.runUntilIdle();
    std::lock_guard guard(*lock);
    return *result;
}

class TemporaryFolder {
public:
    TemporaryFolder() {
        char pattern[] = "/tmp/sdp-http-XXXXXX";
        path_ = ::mkdtemp(pattern);
    }
    ~TemporaryFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string write(const std::string& name, const std::string& contents) const {
        std::ofstream(file(name), std::ios::binary) << contents;
        return file(name);
    }

private:
    std::string path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace httptest
