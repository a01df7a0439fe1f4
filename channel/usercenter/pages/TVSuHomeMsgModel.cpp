#include "channel/usercenter/pages/TVSuHomeMsgModel.h"

RT_DEFINE_CLASS(TVSuHomeMsgModel, TVSuRow, "TVSuHomeMsgModel")

cg::Color TVSuHomeMsgModel::tagColor() const {
    return format("tag") == "活动" ? cg::Color::fromBytes(239, 86, 81) : cg::Color::fromBytes(90, 185, 253);
}
