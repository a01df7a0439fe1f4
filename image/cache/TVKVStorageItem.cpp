#include "image/cache/TVKVStorageItem.h"

RT_DEFINE_CLASS(TVKVStorageItem, ns::Object, "TVKVStorageItem")
