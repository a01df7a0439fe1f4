// The multipart body read directly: its exact bytes and length, reads of any
// size, throttling, copies, failures and file parts.

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "net/SDPHTTPRequestSerializer.h"
#include "net/SDPStreamingMultipartFormData.h"
#include "net/SDPURLRequestSerialization.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/foundation/URLError.h"
#include "platform/testing/TaskEnvironment.h"
#include "tests/net/http_multipart_support.h"
#include "tests/net/http_request_support.h"

namespace {

const std::string B = "Boundary+0123456789ABCDEF";

ns::Ref<SDPStreamingMultipartFormData> form(std::string boundary = B) {
    auto request = ns::MutableURLRequest::make(ns::URL::make("http://example.com/upload"));
    request->setHTTPMethod("POST");
    return std::make_shared<SDPStreamingMultipartFormData>(request, ns::StringEncoding::UTF8, std::move(boundary));
}

ns::Ref<ns::Data> bytes(const std::string& text) { return ns::Data::withBytes(text); }

std::string header(const ns::Ref<ns::URLRequest>& request, std::string_view name) {
    auto value = request->valueForHTTPHeaderField(name);
    return value ? value->utf8() : std::string("<nil>");
}

std::string bodyOf(const ns::Ref<ns::URLRequest>& request, uint64_t chunk = 4096) {
    auto stream = request->HTTPBodyStream();
    if (!stream) return "<no stream>";
    auto result = httptest::readAll(*stream, chunk);
    EXPECT_FALSE(result.failed());
    return result.bytes;
}

TEST(HTTPMultipartBody, OneFieldIsByteExactWithItsLength) {
    auto formData = form();
    formData->appendPartWithFormData(bytes("1"), "a");
    auto request = formData->requestByFinalizingMultipartFormData();
    const std::string expected =
        "--" + B + "\r\n" + "Content-Disposition: form-data; name=\"a\"\r\n" + "\r\n" + "1" + "\r\n--" + B + "--\r\n";
    EXPECT_EQ(bodyOf(request), expected);
    EXPECT_EQ(header(request, "Content-Length"), std::to_string(expected.size()));
    EXPECT_EQ(header(request, "Content-Type"), "multipart/form-data; boundary=" + B);
    EXPECT_EQ(formData->bodyStream()->contentLength(), expected.size());
    EXPECT_FALSE(request->HTTPBody());
}

TEST(HTTPMultipartBody, TwoPartsShareBoundariesAndOnlyTheLastCloses) {
    auto formData = form();
    formData->appendPartWithFormData(bytes("v1"), "field");
    formData->appendPartWithFileData(bytes("\x89PNG\r\n--"), "avatar", "me.png", "image/png");
    auto request = formData->requestByFinalizingMultipartFormData();
    const std::string expected = "--" + B + "\r\n" + "Content-Disposition: form-data; name=\"field\"\r\n\r\n" + "v1" +
                                 "\r\n--" + B + "\r\n" +
                                 "Content-Disposition: form-data; name=\"avatar\"; filename=\"me.png\"\r\n" +
                                 "Content-Type: image/png\r\n\r\n" + "\x89PNG\r\n--" + "\r\n--" + B + "--\r\n";
    EXPECT_EQ(bodyOf(request), expected);
    EXPECT_EQ(header(request, "Content-Length"), std::to_string(expected.size()));
}

TEST(HTTPMultipartBody, CustomHeadersAreWrittenInOrder) {
    auto formData = form();
    auto headers = ns::MutableDictionary::make();
    headers->setObjectForKey(ns::str("form-data; name=\"x\""), "Content-Disposition");
    headers->setObjectForKey(ns::str("binary"), "Content-Transfer-Encoding");
    formData->appendPartWithHeaders(headers, bytes("z"));
    auto request = formData->requestByFinalizingMultipartFormData();
    EXPECT_EQ(bodyOf(request), "--" + B +
                                   "\r\nContent-Disposition: form-data; name=\"x\"\r\n"
                                   "Content-Transfer-Encoding: binary\r\n\r\nz\r\n--" +
                                   B + "--\r\n");
}

TEST(HTTPMultipartBody, FormWithoutPartsLeavesTheRequestAlone) {
    auto formData = form();
    auto request = formData->requestByFinalizingMultipartFormData();
    EXPECT_FALSE(request->HTTPBodyStream());
    EXPECT_EQ(header(request, "Content-Type"), "<nil>");
    EXPECT_EQ(header(request, "Content-Length"), "<nil>");
}

TEST(HTTPMultipartBody, RandomBoundariesHaveTheirFixedShape) {
    const std::string a = SDPCreateMultipartFormBoundary();
    const std::string b = SDPCreateMultipartFormBoundary();
    EXPECT_NE(a, b);
    ASSERT_EQ(a.size(), 25u);
    EXPECT_EQ(a.substr(0, 9), "Boundary+");
    EXPECT_EQ(a.find_first_not_of("0123456789ABCDEF", 9), std::string::npos) << a;
}

TEST(HTTPMultipartBody, OneByteReadsDeliverTheSameBodyAcrossPhases) {
    auto formData = form();
    formData->appendPartWithFormData(bytes("first value"), "a");
    formData->appendPartWithFormData(bytes(""), "empty");
    formData->appendPartWithFileData(bytes(std::string(300, 'q')), "f", "f.bin", "application/octet-stream");
    auto request = formData->requestByFinalizingMultipartFormData();
    auto whole = ns::cast<ns::InputStream>(request->HTTPBodyStream()->copy());
    const std::string expected = httptest::readAll(*whole, 1 << 16).bytes;
    auto bytewise = httptest::readAll(*request->HTTPBodyStream(), 1);
    EXPECT_EQ(bytewise.bytes, expected);
    EXPECT_EQ(bytewise.counts.back(), 0);
    EXPECT_EQ(bytewise.counts.size(), expected.size() + 1);
    EXPECT_EQ(expected.size(), formData->bodyStream()->contentLength());
}

TEST(HTTPMultipartBody, ThrottlingLimitsEachReadAndSleepsOnTheClock) {
    testing::TaskEnvironment env;
    auto formData = form();
    formData->appendPartWithFormData(bytes(std::string(40, 'v')), "a");
    formData->throttleBandwidthWithPacketSize(7, 0.5);
    EXPECT_EQ(formData->bodyStream()->numberOfBytesInPacket(), 7u);
    auto request = formData->requestByFinalizingMultipartFormData();
    const double start = env.now();
    auto result = httptest::readAll(*request->HTTPBodyStream(), 1024);
    for (size_t i = 0; i + 1 < result.counts.size(); ++i) EXPECT_LE(result.counts[i], 7) << i;
    EXPECT_EQ(result.bytes.size(), formData->bodyStream()->contentLength());
    // One pause per chunk taken from the part: at least one per read.
    const double slept = env.now() - start;
    EXPECT_GE(slept, 0.5 * double(result.counts.size() - 1));
}

TEST(HTTPMultipartBody, ACopyOfAPartlyReadStreamStartsAgain) {
    httptest::TemporaryFolder folder;
    const std::string path = folder.write("notes.txt", std::string(5000, 'n'));
    auto formData = form();
    formData->appendPartWithFormData(bytes("meta"), "m");
    ASSERT_TRUE(formData->appendPartWithFileURL(ns::URL::fileURLWithPath(path), "notes", nullptr));
    auto request = formData->requestByFinalizingMultipartFormData();
    auto original = formData->bodyStream();
    const std::string expected = httptest::readAll(*ns::cast<ns::InputStream>(original->copy()), 1 << 16).bytes;

    original->open();
    std::vector<uint8_t> buffer(150);
    ASSERT_EQ(original->read(buffer.data(), buffer.size()), 150);
    auto copy = ns::cast<SDPMultipartBodyStream>(original->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->streamStatus(), ns::StreamStatusNotOpen);
    EXPECT_EQ(httptest::readAll(*copy, 333).bytes, expected);
    EXPECT_EQ(expected.size(), original->contentLength());
    // The original goes on where it was.
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()), 150) + httptest::readAll(*original, 4096).bytes,
              expected);
}

TEST(HTTPMultipartBody, FilePartsTakeNameTypeAndSizeFromTheFile) {
    httptest::TemporaryFolder folder;
    const std::string png = folder.write("pic.png", "PNGDATA");
    const std::string odd = folder.write("blob.zzq", "12345");
    auto formData = form();
    ASSERT_TRUE(formData->appendPartWithFileURL(ns::URL::fileURLWithPath(png), "pic", nullptr));
    ASSERT_TRUE(formData->appendPartWithFileURL(ns::URL::fileURLWithPath(odd), "blob", nullptr));
    auto request = formData->requestByFinalizingMultipartFormData();
    const std::string body = bodyOf(request, 3);
    EXPECT_NE(body.find("Content-Disposition: form-data; name=\"pic\"; filename=\"pic.png\"\r\n"
                        "Content-Type: image/png\r\n\r\nPNGDATA\r\n"),
              std::string::npos)
        << body;
    EXPECT_NE(
        body.find("filename=\"blob.zzq\"\r\nContent-Type: application/octet-stream\r\n\r\n12345\r\n--" + B + "--"),
        std::string::npos)
        << body;
    EXPECT_EQ(header(request, "Content-Length"), std::to_string(body.size()));
}

TEST(HTTPMultipartBody, FileURLsThatCannotBeReadAreRefused) {
    auto formData = form();
    ns::Ref<ns::Error> error;
    EXPECT_FALSE(formData->appendPartWithFileURL(ns::URL::make("http://example.com/a.png"), "a", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), SDPURLRequestSerializationErrorDomain);
    EXPECT_EQ(error->code(), ns::URLErrorBadURL);
    EXPECT_EQ(ns::textOf(error->localizedFailureReason()), "Expected URL to be a file URL");

    error = nullptr;
    EXPECT_FALSE(formData->appendPartWithFileURL(ns::URL::fileURLWithPath("/nonexistent/sdp/a.png"), "a", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->domain(), SDPURLRequestSerializationErrorDomain);
    EXPECT_EQ(error->code(), ns::URLErrorBadURL);
    EXPECT_EQ(ns::textOf(error->localizedFailureReason()), "File URL not reachable.");
    EXPECT_TRUE(formData->bodyStream()->isEmpty());
}

TEST(HTTPMultipartBody, AFailingPartStreamFailsTheReadInsteadOfEndingTheBody) {
    auto formData = form();
    formData->appendPartWithFormData(bytes("ok"), "a");
    formData->appendPartWithInputStream(std::make_shared<httptest::FailingStream>(10), "b", "b.bin", 100,
                                        "application/octet-stream");
    formData->appendPartWithFormData(bytes("never"), "c");
    auto stream = formData->bodyStream();
    formData->requestByFinalizingMultipartFormData();
    for (uint64_t chunk : {1u, 7u, 4096u}) {
        auto copy = ns::cast<SDPMultipartBodyStream>(stream->copy());
        // The shared content stream fails once; each copy needs its own.
        copy->HTTPBodyParts()[1]->body = std::make_shared<httptest::FailingStream>(10);
        auto result = httptest::readAll(*copy, chunk);
        EXPECT_TRUE(result.failed()) << chunk;
        EXPECT_EQ(std::count(result.counts.begin(), result.counts.end(), 0), 0) << "no early end, chunk " << chunk;
        EXPECT_EQ(copy->streamStatus(), ns::StreamStatusError);
        ASSERT_TRUE(copy->streamError());
        EXPECT_EQ(copy->streamError()->domain(), "test.stream");
        uint8_t byte;
        EXPECT_EQ(copy->read(&byte, 1), -1) << "stays failed";
        EXPECT_EQ(result.bytes.find("never"), std::string::npos);
    }
}

TEST(HTTPMultipartBody, AFileThatVanishesFailsTheRead) {
    httptest::TemporaryFolder folder;
    const std::string path = folder.write("gone.txt", "soon gone");
    auto formData = form();
    ASSERT_TRUE(formData->appendPartWithFileURL(ns::URL::fileURLWithPath(path), "g", nullptr));
    auto request = formData->requestByFinalizingMultipartFormData();
    std::remove(path.c_str());
    auto result = httptest::readAll(*request->HTTPBodyStream(), 8);
    EXPECT_TRUE(result.failed());
    EXPECT_TRUE(formData->bodyStream()->streamError());
}

TEST(HTTPMultipartBody, ReadsOnAnotherThreadNeverWaitForTheMainThread) {
    testing::TaskEnvironment env;
    auto formData = form();
    formData->appendPartWithFormData(bytes("x"), "a");
    formData->appendPartWithFileData(bytes(std::string(10000, 'y')), "b", "b", "text/plain");
    auto request = formData->requestByFinalizingMultipartFormData();
    std::string bytesRead;
    // The main thread blocks in join: any hop to it would never return.
    std::thread reader([&] { bytesRead = httptest::readAll(*request->HTTPBodyStream(), 100).bytes; });
    reader.join();
    EXPECT_EQ(bytesRead.size(), formData->bodyStream()->contentLength());
}

TEST(HTTPMultipartBody, ClosedOrUnopenedStreamsReadNothing) {
    auto formData = form();
    formData->appendPartWithFormData(bytes("x"), "a");
    auto stream = formData->bodyStream();
    uint8_t buffer[16];
    EXPECT_EQ(stream->read(buffer, sizeof buffer), -1);
    stream->open();
    EXPECT_TRUE(stream->hasBytesAvailable());
    stream->close();
    EXPECT_EQ(stream->read(buffer, sizeof buffer), 0);
    EXPECT_FALSE(stream->hasBytesAvailable());
    EXPECT_FALSE(stream->getBuffer(nullptr, nullptr));
    EXPECT_FALSE(stream->propertyForKey("anything"));
}

TEST(HTTPMultipartBody, SerializerTurnsParametersIntoFieldsBeforeTheBlockParts) {
    auto serializer = SDPHTTPRequestSerializer::serializer();
    auto parameters = ns::Dictionary::make({
        {"tags", ns::Array::make({ns::str("a"), ns::str("b")})},
        {"blob", bytes("RAW")},
        {"none", ns::Null::null()},
        {"n", ns::num(5)},
    });
    std::string boundary;
    ns::Ref<ns::Error> error;
    auto request = serializer->multipartFormRequestWithMethod(
        "POST", "http://example.com/up", parameters,
        [&](SDPMultipartFormData& formData) {
            boundary = dynamic_cast<SDPStreamingMultipartFormData&>(formData).boundary();
            formData.appendPartWithFileData(bytes("img"), "photo", "p.jpg", "image/jpeg");
        },
        &error);
    ASSERT_TRUE(request);
    EXPECT_FALSE(error);
    EXPECT_EQ(header(request, "Content-Type"), "multipart/form-data; boundary=" + boundary);
    EXPECT_TRUE(request->valueForHTTPHeaderField("User-Agent"));
    auto field = [&](const std::string& name, const std::string& value, bool first = false) {
        return (first ? "--" : "\r\n--") + boundary + "\r\nContent-Disposition: form-data; name=\"" + name +
               "\"\r\n\r\n" + value;
    };
    const std::string expected = field("blob", "RAW", true) + field("n", "5") + field("none", "") +
                                 field("tags[]", "a") + field("tags[]", "b") + "\r\n--" + boundary +
                                 "\r\nContent-Disposition: form-data; name=\"photo\"; filename=\"p.jpg\"\r\n"
                                 "Content-Type: image/jpeg\r\n\r\nimg\r\n--" +
                                 boundary + "--\r\n";
    EXPECT_EQ(bodyOf(request), expected);
    EXPECT_EQ(header(request, "Content-Length"), std::to_string(expected.size()));
}

}  // namespace
