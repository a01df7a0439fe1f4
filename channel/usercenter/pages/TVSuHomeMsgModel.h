#pragma once
// A news message of "News/lists": its tag ("活动" marks an activity), title,
// detail address, time and picture. Shared by the home page's three newest
// messages and the full message list.

#include "channel/usercenter/TVSuRow.h"
#include "platform/graphics/Color.h"
#include "platform/runtime/Class.h"

class TVSuHomeMsgModel : public TVSuRow {
    RT_DECLARE_CLASS(TVSuHomeMsgModel)
public:
    Text tag() const { return text("tag"); }
    Text post_title() const { return text("post_title"); }
    Text url() const { return text("url"); }
    Text time() const { return text("time"); }
    Text pic() const { return text("pic"); }

    // The tag's background: red-orange for an activity, blue otherwise.
    cg::Color tagColor() const;
};
