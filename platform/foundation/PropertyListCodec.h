#pragma once
// The property-list readers and the XML writer behind PropertyListSerialization
// and the strings tables of bundles. Internal to the foundation library.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Dictionary.h"
#include "platform/runtime/Object.h"

namespace ns::plist {

// Makes containers and leaves with the mutability the reader was asked for.
class Builder {
public:
    explicit Builder(uint64_t options) : options_(options) {}
    Id array(std::vector<Id> items) const;
    Id dictionary(const std::vector<Dictionary::Entry>& entries) const;
    Id text(std::string utf8) const;
    Id data(std::vector<uint8_t> bytes) const;

private:
    uint64_t options_;
};

// Each returns nil and sets `error` (one line, with where it went wrong)
// when the input is malformed.
Id parseXml(std::string_view bytes, const Builder& builder, std::string& error);
// The text form: `stringsTable` reads the body of a dictionary without its
// braces ("key" = "value"; ...), as strings tables are written.
Id parseOpenStep(std::string_view bytes, const Builder& builder, bool stringsTable, std::string& error);
// A strings table in either form it is saved in: the text form's dictionary
// body (with or without braces) or an XML property list of a dictionary.
Id parseStringsTable(std::string_view bytes, std::string& error);
// The XML document for a tree; false with `error` for what cannot be written.
bool writeXml(const Object* root, std::string& out, std::string& error);

}  // namespace ns::plist
