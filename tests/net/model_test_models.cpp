#include "tests/net/model_test_models.h"

RT_DEFINE_CLASS(mmt::Game, ns::Object, "MMTGame", RT_PROPERTY(mmt::Game, name), RT_PROPERTY(mmt::Game, icon))
RT_DEFINE_CLASS(mmt::GiftCode, ns::Object, "MMTGiftCode", RT_PROPERTY(mmt::GiftCode, code), RT_PROPERTY(mmt::GiftCode, used))
RT_DEFINE_CLASS(mmt::GiftItem, ns::Object, "MMTGiftItem",
                RT_PROPERTY(mmt::GiftItem, cardId, "C"),
                RT_PROPERTY(mmt::GiftItem, name, "C"),
                RT_PROPERTY(mmt::GiftItem, content, "C"),
                RT_PROPERTY(mmt::GiftItem, remain),
                RT_PROPERTY(mmt::GiftItem, received),
                RT_PROPERTY(mmt::GiftItem, game),
                RT_PROPERTY(mmt::GiftItem, codes))
QZ_MODEL_HOOKS(mmt::GiftItem)
RT_DEFINE_CLASS(mmt::ServerItem, ns::Object, "MMTServerItem",
                RT_PROPERTY(mmt::ServerItem, serverName),
                RT_PROPERTY(mmt::ServerItem, openTime),
                RT_PROPERTY(mmt::ServerItem, serverId))
QZ_MODEL_HOOKS(mmt::ServerItem)
