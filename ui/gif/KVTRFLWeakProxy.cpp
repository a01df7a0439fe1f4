#include "ui/gif/KVTRFLWeakProxy.h"



RT_DEFINE_CLASS(KVTRFLWeakProxy, ns::Object, "KVTRFLWeakProxy")


