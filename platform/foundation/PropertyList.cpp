#include "platform/foundation/PropertyList.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "platform/foundation/Date.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/PropertyListCodec.h"
#include "platform/foundation/String.h"

namespace ns {
namespace {

constexpr const char* DebugDescriptionKey = "NSDebugDescription";

Ref<Error> plistError(int64_t code, const std::string& reason, const std::string& path = {}) {
    std::vector<Dictionary::Entry> info{{DebugDescriptionKey, String::make(reason)}};
    if (!path.empty()) info.emplace_back(FilePathErrorKey, String::make(path));
    return Error::make(CocoaErrorDomain, code, Dictionary::make(info));
}

void report(Ref<Error>* error, Ref<Error> value) {
    if (error) *error = std::move(value);
}

// Decides between the XML and the text form by the first thing in the data.
PropertyListFormat sniff(std::string_view bytes) {
    std::string_view text = bytes;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos) return PropertyListFormat::OpenStep;
    text.remove_prefix(start);
    if (text.substr(0, 6) == "bplist") return PropertyListFormat::Binary;
    if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
        // UTF-16: only a text-form document starts with anything but "<".
        auto decoded = String::withBytes(bytes.data(), bytes.size(), StringEncoding::UTF16);
        if (!decoded) return PropertyListFormat::OpenStep;
        auto head = decoded->stringByTrimmingWhitespaceAndNewlines();
        return head->hasPrefix("<?") || head->hasPrefix("<!") || head->hasPrefix("<plist") ? PropertyListFormat::XML
                                                                                           : PropertyListFormat::OpenStep;
    }
    if (text[0] != '<') return PropertyListFormat::OpenStep;
    // "<0fbd 77>" is data in the text form; every XML document starts with a
    // declaration, a doctype or an element whose name is not all hex digits.
    size_t close = text.find('>');
    if (close == std::string_view::npos) return PropertyListFormat::XML;
    for (char c : text.substr(1, close - 1)) {
        bool hexOrSpace = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ' ' ||
                          c == '\t' || c == '\r' || c == '\n';
        if (!hexOrSpace) return PropertyListFormat::XML;
    }
    return PropertyListFormat::OpenStep;
}

// Copies with immutable containers and leaves; nil for a non-plist value.
Id frozenCopy(const Object* value, int depth) {
    if (!value || depth > 512) return nullptr;
    if (auto text = dynamic_cast<const String*>(value)) return text->copy();
    if (dynamic_cast<const Number*>(value) || dynamic_cast<const Date*>(value)) return value->copy();
    if (auto data = dynamic_cast<const Data*>(value)) return data->copy();
    if (auto array = dynamic_cast<const Array*>(value)) {
        std::vector<Id> items;
        items.reserve(array->count());
        for (const Id& item : *array) {
            Id copied = frozenCopy(item.get(), depth + 1);
            if (!copied) return nullptr;
            items.push_back(std::move(copied));
        }
        return Array::make(std::move(items));
    }
    if (auto dictionary = dynamic_cast<const Dictionary*>(value)) {
        std::vector<Dictionary::Entry> entries;
        entries.reserve(dictionary->count());
        for (const Id& key : *dictionary) {
            auto text = cast<String>(key);
            if (!text) return nullptr;
            Id copied = frozenCopy(dictionary->objectForKey(key.get()).get(), depth + 1);
            if (!copied) return nullptr;
            entries.emplace_back(text->copy(), std::move(copied));
        }
        return Dictionary::make(entries);
    }
    return nullptr;
}

bool readWholeFile(const std::string& path, std::string& bytes, int& posixError) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        posixError = errno;
        return false;
    }
    char buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            posixError = errno;
            ::close(fd);
            return false;
        }
        bytes.append(buffer, size_t(n));
    }
    ::close(fd);
    return true;
}

}  // namespace

// ---- Builder ----

namespace plist {

Id Builder::array(std::vector<Id> items) const {
    if (options_ == PropertyListImmutable) return Array::make(std::move(items));
    return MutableArray::make(std::move(items));
}

Id Builder::dictionary(const std::vector<Dictionary::Entry>& entries) const {
    if (options_ == PropertyListImmutable) return Dictionary::make(entries);
    auto out = MutableDictionary::make();
    for (const Dictionary::Entry& entry : entries) out->setObjectForKey(entry.value, entry.key);
    return out;
}

Id Builder::text(std::string utf8) const {
    if (options_ == PropertyListMutableContainersAndLeaves) return MutableString::make(std::move(utf8));
    return String::make(std::move(utf8));
}

Id Builder::data(std::vector<uint8_t> bytes) const {
    if (options_ == PropertyListMutableContainersAndLeaves) return MutableData::make(std::move(bytes));
    return Data::make(std::move(bytes));
}

Id parseStringsTable(std::string_view bytes, std::string& error) {
    Builder builder(PropertyListImmutable);
    if (sniff(bytes) == PropertyListFormat::XML) return parseXml(bytes, builder, error);
    std::string_view text = bytes;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    size_t start = text.find_first_not_of(" \t\r\n");
    const bool braced = start != std::string_view::npos && text[start] == '{';
    return parseOpenStep(bytes, builder, !braced, error);
}

}  // namespace plist

// ---- Serialization ----

bool PropertyListSerialization::propertyListIsValidForFormat(const Object* plist, PropertyListFormat format) {
    if (format == PropertyListFormat::XML) {
        std::string out, error;
        return plist::writeXml(plist, out, error);
    }
    // The binary form carries every property-list value; the text form is
    // never written here.
    return format == PropertyListFormat::Binary && frozenCopy(plist, 0) != nullptr;
}

Ref<Data> PropertyListSerialization::dataWithPropertyList(const Object* plist, PropertyListFormat format, Ref<Error>* error) {
    if (format != PropertyListFormat::XML) {
        report(error, plistError(PropertyListWriteStreamError, "only the XML format is written"));
        return nullptr;
    }
    std::string out, reason;
    if (!plist::writeXml(plist, out, reason)) {
        report(error, plistError(PropertyListWriteStreamError, reason));
        return nullptr;
    }
    return Data::withBytes(out);
}

Id PropertyListSerialization::propertyListWithData(const Data* data, uint64_t options, PropertyListFormat* format,
                                                   Ref<Error>* error) {
    if (!data || data->length() == 0) {
        report(error, plistError(PropertyListReadCorruptError, "no property list in empty data"));
        return nullptr;
    }
    PropertyListFormat kind = sniff(data->view());
    if (kind == PropertyListFormat::Binary) {
        report(error, plistError(PropertyListReadCorruptError, "the binary property-list format is not read here"));
        return nullptr;
    }
    plist::Builder builder(options);
    std::string reason;
    Id result = kind == PropertyListFormat::XML ? plist::parseXml(data->view(), builder, reason)
                                                : plist::parseOpenStep(data->view(), builder, false, reason);
    if (!result) {
        report(error, plistError(PropertyListReadCorruptError, reason.empty() ? "malformed property list" : reason));
        return nullptr;
    }
    if (format) *format = kind;
    return result;
}

Id copyPropertyList(const Object* plist) { return frozenCopy(plist, 0); }

// ---- Files ----

Id propertyListWithContentsOfFile(const std::string& path, uint64_t options, Ref<Error>* error) {
    std::string bytes;
    int posixError = 0;
    if (!readWholeFile(path, bytes, posixError)) {
        report(error, fileError(posixError, FileAccess::Read, path));
        return nullptr;
    }
    Ref<Error> parseError;
    Id result = PropertyListSerialization::propertyListWithData(Data::withBytes(bytes), options, nullptr, &parseError);
    if (!result) {
        auto reason = cast<String>(parseError->userInfo()->objectForKey(DebugDescriptionKey));
        report(error, plistError(PropertyListReadCorruptError, reason ? reason->utf8() : "malformed property list", path));
    }
    return result;
}

Ref<Dictionary> dictionaryWithContentsOfFile(const std::string& path) {
    return cast<Dictionary>(propertyListWithContentsOfFile(path));
}

Ref<Array> arrayWithContentsOfFile(const std::string& path) { return cast<Array>(propertyListWithContentsOfFile(path)); }

bool writePropertyListToFile(const Object* plist, const std::string& path, bool atomically, Ref<Error>* error) {
    auto data = PropertyListSerialization::dataWithPropertyList(plist, PropertyListFormat::XML, error);
    if (!data) return false;
    errno = 0;
    if (!data->writeToFile(path, atomically)) {
        report(error, fileError(errno ? errno : EIO, FileAccess::Write, path));
        return false;
    }
    return true;
}

}  // namespace ns
