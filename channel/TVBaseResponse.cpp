#include "channel/TVBaseResponse.h"

RT_DEFINE_CLASS(TVBaseResponse, ns::Object, "TVBaseResponse")

ns::Ref<TVBaseResponse> TVBaseResponse::responseWithDic(const ns::Id&) {
    return std::make_shared<TVBaseResponse>();
}
