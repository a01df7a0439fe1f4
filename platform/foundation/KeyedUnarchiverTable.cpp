#include "platform/foundation/KeyedUnarchiverTable.h"

namespace ns::archive {

namespace {

bool readRecord(ByteReader& in, uint64_t objectCount, Record& record) {
    uint64_t count = in.count(2);
    record.fields.reserve(count);
    for (uint64_t i = 0; i < count && in.ok(); ++i) {
        std::string_view key = in.text();
        Field field;
        field.tag = char(in.byte());
        switch (field.tag) {
            case FieldObject:
                field.uid = in.varint();
                if (field.uid > objectCount) in.fail();
                break;
            case FieldInt:
                field.integer = in.zigzag();
                break;
            case FieldBool:
                field.integer = in.byte() != 0;
                break;
            case FieldDouble:
                field.real = in.f64();
                break;
            default:
                in.fail();
        }
        record.fields.emplace_back(key, field);
    }
    return in.ok();
}

bool readEntry(ByteReader& in, uint64_t objectCount, Entry& e) {
    auto uid = [&] {
        uint64_t v = in.varint();
        if (v > objectCount) in.fail();
        return v;
    };
    e.kind = in.byte();
    switch (e.kind) {
        case KindNull:
            break;
        case KindString:
        case KindData:
            e.isMutable = in.byte() & FlagMutable;
            e.text = in.text();
            break;
        case KindNumber:
            e.text = in.text();
            e.numberTag = char(in.byte());
            switch (e.numberTag) {
                case NumberSigned: e.integer = in.zigzag(); break;
                case NumberUnsigned: e.unsignedInteger = in.varint(); break;
                case NumberDouble: e.real = in.f64(); break;
                case NumberBool: e.integer = in.byte() != 0; break;
                default: in.fail();
            }
            break;
        case KindDecimal:
            e.text = in.text();
            break;
        case KindDate:
            e.real = in.f64();
            break;
        case KindURL:
            e.text = in.text();
            e.refs.push_back(uid());
            break;
        case KindArray:
        case KindSet: {
            e.isMutable = in.byte() & FlagMutable;
            uint64_t n = in.count(1);
            e.refs.reserve(n);
            for (uint64_t i = 0; i < n && in.ok(); ++i) e.refs.push_back(uid());
            break;
        }
        case KindDictionary: {
            e.isMutable = in.byte() & FlagMutable;
            uint64_t n = in.count(2);
            e.refs.reserve(n * 2);
            for (uint64_t i = 0; i < n * 2 && in.ok(); ++i) e.refs.push_back(uid());
            break;
        }
        case KindIndexSet: {
            e.isMutable = in.byte() & FlagMutable;
            uint64_t n = in.count(2);
            e.ranges.reserve(n);
            for (uint64_t i = 0; i < n && in.ok(); ++i) {
                Range r;
                r.location = in.varint();
                r.length = in.varint();
                e.ranges.push_back(r);
            }
            break;
        }
        case KindCoded:
            e.text = in.text();
            readRecord(in, objectCount, e.record);
            break;
        default:
            in.fail();
    }
    return in.ok();
}

}  // namespace

bool readTable(std::string_view bytes, std::vector<Entry>& entries, Record& top) {
    ByteReader in(bytes);
    for (char c : Magic) {
        if (in.byte() != uint8_t(c)) return false;
    }
    if (in.byte() != Version) return false;
    uint64_t count = in.count(1);
    entries.resize(count);
    for (uint64_t i = 0; i < count; ++i) {
        if (!readEntry(in, count, entries[i])) return false;
    }
    return readRecord(in, count, top) && in.atEnd();
}

}  // namespace ns::archive
