#pragma once
// One stored item of the key-value storage: its key, its value (absent in the
// info reads), where the value lives and its times.

#include <cstdint>
#include <string>

#include "platform/foundation/Data.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVKVStorageItem : public ns::Object {
    RT_DECLARE_CLASS(TVKVStorageItem)
public:
    TVKVStorageItem() = default;

    std::string key;
    ns::Ref<ns::Data> value;       // nil in the info reads
    std::string filename;          // empty: the value is inline
    int32_t size = 0;              // value length in bytes
    int32_t modTime = 0;           // UNIX seconds of the last save
    int32_t accessTime = 0;        // UNIX seconds of the last save or read
    ns::Ref<ns::Data> extendedData;
};
