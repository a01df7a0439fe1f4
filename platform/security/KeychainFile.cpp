#include "platform/security/KeychainFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/security/Hex.h"

namespace sec::detail {
namespace {

constexpr std::string_view header = "gamehost-keychain 1";

std::string field(std::string_view bytes) { return bytes.empty() ? "-" : hexLower(bytes); }

std::optional<std::string> unfield(std::string_view text) {
    if (text == "-") return std::string();
    if (text.empty() || text.size() % 2) return std::nullopt;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int high = nibble(text[i]), low = nibble(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(static_cast<char>(high << 4 | low));
    }
    return out;
}

std::vector<std::string_view> split(std::string_view line) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t space = line.find(' ', start);
        parts.push_back(line.substr(start, space - start));
        if (space == std::string_view::npos) return parts;
        start = space + 1;
    }
}

void ensureFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0700);
}

}  // namespace

std::string encodeKeychain(const std::vector<KeychainItem>& items) {
    std::string text(header);
    text += '\n';
    for (const auto& item : items) {
        std::string_view data(reinterpret_cast<const char*>(item.data.data()), item.data.size());
        text += field(item.itemClass) + ' ' + field(item.service) + ' ' + field(item.account) + ' ' +
                field(item.accessibility) + ' ' + field(data) + '\n';
    }
    return text;
}

std::optional<std::vector<KeychainItem>> decodeKeychain(std::string_view text, std::string* why) {
    auto fail = [&](std::string reason) -> std::optional<std::vector<KeychainItem>> {
        if (why) *why = std::move(reason);
        return std::nullopt;
    };
    std::size_t end = text.find('\n');
    if (end == std::string_view::npos || text.substr(0, end) != header) return fail("unknown header");
    std::vector<KeychainItem> items;
    std::size_t lineNumber = 1;
    for (std::size_t start = end + 1; start < text.size(); start = end + 1) {
        ++lineNumber;
        end = text.find('\n', start);
        // Every line this code writes ends in a newline: a missing one means
        // the file was cut short.
        if (end == std::string_view::npos) return fail("line " + std::to_string(lineNumber) + " is cut short");
        auto parts = split(text.substr(start, end - start));
        if (parts.size() != 5) return fail("line " + std::to_string(lineNumber) + " has the wrong number of fields");
        std::optional<std::string> values[5];
        for (int i = 0; i < 5; ++i) {
            values[i] = unfield(parts[i]);
            if (!values[i]) return fail("line " + std::to_string(lineNumber) + " has a field that is not hexadecimal");
        }
        KeychainItem item;
        item.itemClass = *values[0];
        item.service = *values[1];
        item.account = *values[2];
        item.accessibility = *values[3];
        item.data.assign(values[4]->begin(), values[4]->end());
        items.push_back(std::move(item));
    }
    return items;
}

ReadOutcome readWholeFile(const std::string& path, std::string* contents) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadOutcome::Missing : ReadOutcome::Failed;
    contents->clear();
    char buffer[16384];
    while (true) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return ReadOutcome::Failed;
        }
        if (n == 0) break;
        contents->append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadOutcome::Read;
}

bool replaceFileAtomically(const std::string& path, std::string_view contents) {
    ensureFolders(path);
    std::string temporary = path + ".tmp-XXXXXX";
    int fd = ::mkstemp(temporary.data());  // creates it 0600
    if (fd < 0) return false;
    bool ok = true;
    for (std::size_t written = 0; ok && written < contents.size();) {
        ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else written += static_cast<std::size_t>(n);
    }
    // Durable before it replaces the old file, so a crash leaves one whole
    // version or the other.
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

}  // namespace sec::detail
