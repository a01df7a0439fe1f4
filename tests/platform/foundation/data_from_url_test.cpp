// The blocking read of a URL's bytes: a file, a 2xx body, and nothing for
// an error status or a missing file.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/foundation/Data.h"
#include "platform/foundation/URL.h"
#include "platform/testing/LoopbackServer.h"

namespace {

std::string bytesOf(const ns::Ref<ns::Data>& data) {
    return data ? std::string(reinterpret_cast<const char*>(data->bytes()), data->length()) : std::string("<nil>");
}

TEST(DataFromURL, ReadsFilesAndSuccessfulBodiesWhole) {
    const auto path = std::filesystem::temp_directory_path() / "data-from-url-test.bin";
    std::ofstream(path, std::ios::binary) << std::string("a\0b", 3);
    EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(ns::URL::fileURLWithPath(path.string()))), std::string("a\0b", 3));
    std::filesystem::remove(path);
    EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::fileURLWithPath(path.string())));

    testing::LoopbackServer server;
    server.route("GET", "/icon", testing::Reply::text(std::string(70000, 'x'), "image/png"));
    server.route("GET", "/gone", testing::Reply::withStatus(404, "not here"));
    EXPECT_EQ(bytesOf(ns::Data::withContentsOfURL(ns::URL::make(server.url("/icon")))), std::string(70000, 'x'));
    EXPECT_FALSE(ns::Data::withContentsOfURL(ns::URL::make(server.url("/gone"))));
    EXPECT_FALSE(ns::Data::withContentsOfURL(nullptr));
}

}  // namespace
