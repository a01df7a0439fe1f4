// The reply models: which key lands in which field, the formatted fields,
// the boolean rule and the sub-account's sign.

#include <gtest/gtest.h>

#include "channel/TVAccountResults.h"
#include "channel/TVPayResults.h"
#include "channel/VRQSubNameModel.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"

namespace {

ns::Ref<ns::Dictionary> dict(std::initializer_list<ns::Dictionary::Entry> entries) {
    return ns::Dictionary::make(entries);
}

TEST(ResponseModels, LoginResultAndThePlayTimeLimitFields) {
    auto reply = dict({{"z", ns::str("1")}, {"b", ns::str("alice")}, {"c", ns::str("pw")}, {"d", ns::str("sg")},
                       {"e", ns::str("1700000000")}, {"x", ns::str("ok")}, {"sid", ns::str("S")},
                       {"rz", ns::str("1")}, {"isck", ns::str("0")}, {"frz", ns::str("1")}, {"nrz", ns::str("2")},
                       {"lmit", ns::str("1700000123456")}});
    auto login = LoginResult::responseWithDic(reply);
    EXPECT_EQ(ns::textOf(login->code), "1");
    EXPECT_EQ(ns::textOf(login->userName), "alice");
    EXPECT_EQ(ns::textOf(login->urserPwd), "pw");
    EXPECT_EQ(ns::textOf(login->mesage), "ok");
    EXPECT_TRUE(login->isMustRZ);
    EXPECT_EQ(ns::textOf(login->rzStatus), "2");
    EXPECT_EQ(ns::textOf(login->lmitTime), "1700000123456");
    EXPECT_FALSE(login->isCancel) << "a missing key leaves the field nil";

    EXPECT_FALSE(LoginResult::responseWithDic(dict({{"frz", ns::str("0")}}))->isMustRZ);
    EXPECT_TRUE(LoginResult::responseWithDic(dict({{"frz", ns::num(1)}}))->isMustRZ);
    EXPECT_FALSE(LoginResult::responseWithDic(dict({{"frz", ns::Null::null()}}))->isMustRZ);
    EXPECT_TRUE(LoginResult::responseWithDic(dict({{"frz", ns::str(" y")}}))->isMustRZ);
    EXPECT_TRUE(ns::cast<ns::Number>(LoginResult::responseWithDic(dict({{"z", ns::num(1)}}))->code))
        << "numbers stay numbers";
}

TEST(ResponseModels, LoginResultCarriesSignTimeSessionAndTheRealNameFlags) {
    auto login = LoginResult::responseWithDic(dict({{"z", ns::str("1")}, {"d", ns::str("sg-7")},
                                                    {"e", ns::str("1700000000")}, {"sid", ns::str("sess-3")},
                                                    {"rz", ns::str("1")}, {"ic", ns::str("2")},
                                                    {"isck", ns::num(0)}, {"nrz", ns::str("3")}}));
    EXPECT_EQ(ns::textOf(login->sign), "sg-7");
    EXPECT_EQ(ns::textOf(login->sinceTime), "1700000000");
    EXPECT_EQ(ns::textOf(login->sid), "sess-3");
    EXPECT_EQ(ns::textOf(login->rz), "1");
    EXPECT_EQ(ns::textOf(login->isCancel), "2");
    EXPECT_TRUE(ns::cast<ns::Number>(login->isck)) << "a number stays a number";
    EXPECT_EQ(ns::textOf(login->isck), "0");
    EXPECT_EQ(ns::textOf(login->rzStatus), "3") << "nrz, not rz";
    auto empty = LoginResult::responseWithDic(dict({{"z", ns::str("1")}}));
    EXPECT_FALSE(empty->sign || empty->sinceTime || empty->sid || empty->rz || empty->isCancel || empty->isck);
}

TEST(ResponseModels, AccountReplies) {
    auto registered = RegisterResult::responseWithDic(dict({{"z", ns::str("1")}, {"d", ns::str("注册成功")}}));
    EXPECT_EQ(ns::textOf(registered->mesage), "注册成功");
    EXPECT_FALSE(registered->sign);
    auto rz = rzResult::responseWithDic(dict({{"z", ns::str("1")}, {"b", ns::str("m")}, {"nrz", ns::str("1")}}));
    EXPECT_EQ(ns::textOf(rz->mesage), "m");
    EXPECT_FALSE(rz->isMustRZ);

    auto notice = GetNotice::responseWithDic(
        dict({{"code", ns::str("1")}, {"msg", ns::str("m")},
              {"data", dict({{"content", ns::str("c")}, {"status", ns::num(1)}, {"id", ns::num(9)}})}}));
    EXPECT_EQ(notice->status->utf8(), "1") << "formatted as text";
    EXPECT_EQ(ns::textOf(notice->content), "c");
    EXPECT_EQ(ns::textOf(notice->noticeId), "9");
    EXPECT_EQ(GetNotice::responseWithDic(dict({{"data", dict({})}}))->status->utf8(), "(null)");
    EXPECT_EQ(GetNotice::responseWithDic(nullptr)->status->utf8(), "(null)");
}

TEST(ResponseModels, PayReplies) {
    auto ways = PayWay::responseWithDic(
        dict({{"code", ns::str("1")}, {"data", ns::Array::make({dict({{"z", ns::str("2")}, {"b", ns::str("Quipay")}})})}}));
    ASSERT_EQ(ways->data.size(), 1u);
    EXPECT_EQ(ns::textOf(ways->data[0]->code), "2");
    EXPECT_EQ(ns::textOf(ways->data[0]->mesage), "Quipay");

    EXPECT_FALSE(OrderRecords::responseWithDic(dict({{"data", dict({})}}))->dataArray);
    auto none = OrderRecords::responseWithDic(dict({{"data", ns::Array::make({})}}));
    ASSERT_TRUE(none->dataArray);
    EXPECT_TRUE(none->dataArray->empty());
    auto records = OrderRecords::responseWithDic(dict(
        {{"data", ns::Array::make({dict({{"z", ns::str("o1")}, {"b", ns::str("6")}, {"paytype", ns::str("wx")},
                                         {"create_time", ns::str("t")}, {"d", ns::str("day")}})})}}));
    ASSERT_EQ(records->dataArray->size(), 1u);
    EXPECT_EQ(ns::textOf((*records->dataArray)[0]->Paytype), "wx");
    EXPECT_EQ(ns::textOf((*records->dataArray)[0]->creatTime), "day");

    auto notify = NotifyServer::responseWithDic(dict({{"z", ns::str("1")}, {"b", ns::str("m")}, {"c", ns::str("u")}}));
    EXPECT_EQ(ns::textOf(notify->url), "u");
    EXPECT_EQ(ns::textOf(notify->messge), "m");
    EXPECT_EQ(ns::textOf(QuipayInfo::responseWithDic(dict({{"c", ns::str("sig")}}))->signStr), "sig");
    auto coins = PtbPay::responseWithDic(dict({{"z", ns::str("1")}, {"b", ns::str("o")}, {"c", ns::str("m")}}));
    EXPECT_EQ(ns::textOf(coins->orderID), "o");
    EXPECT_EQ(ns::textOf(DiscountPayWay::responseWithDic(dict({{"b", ns::str("o2")}}))->orderID), "o2");
    EXPECT_EQ(ns::textOf(GetMyPtbResult::responseWithDic(dict({{"b", ns::str("30")}}))->ptb), "30");
    EXPECT_EQ(ns::textOf(GetMyDiscountResult::responseWithDic(dict({{"b", ns::str("5")}}))->discountNum), "5");
    auto help = HelpQQAndTel::responseWithDic(dict({{"data", dict({{"b", ns::str("qq"), }, {"z", ns::str("tel")}})}}));
    EXPECT_EQ(ns::textOf(help->QQ), "qq");
    EXPECT_EQ(ns::textOf(help->TEL), "tel");
    auto wx = WeiXinInfo::responseWithDic(dict({{"data", dict({{"timestamp", ns::num(1700)}})}}));
    EXPECT_EQ(wx->timestamp->utf8(), "1700");
    EXPECT_EQ(ns::textOf(GameDetail::responseWithDic(dict({{"data", dict({{"f", ns::str("g")}})}}))->gameName), "g");
}

TEST(SubAccounts, TheSignLosesItsFirstCharacterWhateverItsType) {
    auto model = VRQSubNameModel::initWithDictionary(dict({{"nickname", ns::str("小号1")},
                                                           {"username", ns::str("alice_1")},
                                                           {"sign", ns::str("xabc")},
                                                           {"login_time", ns::str("1700000000")}}));
    EXPECT_EQ(model->nickname->utf8(), "小号1");
    EXPECT_EQ(model->username->utf8(), "alice_1");
    EXPECT_EQ(model->sign()->utf8(), "abc");
    EXPECT_EQ(model->login_time->utf8(), "1700000000");

    EXPECT_EQ(VRQSubNameModel::initWithDictionary(dict({{"sign", ns::num(9123)}}))->sign()->utf8(), "123");
    EXPECT_EQ(VRQSubNameModel::initWithDictionary(dict({{"sign", ns::Null::null()}}))->sign()->utf8(), "");
    EXPECT_EQ(VRQSubNameModel::initWithDictionary(dict({{"sign", ns::str("")}}))->sign()->utf8(), "");
    EXPECT_EQ(VRQSubNameModel::initWithDictionary(dict({}))->sign()->utf8(), "");
    EXPECT_EQ(VRQSubNameModel::initWithDictionary(dict({{"sign", ns::str("😀b")}}))->sign()->utf8(), "\xed\xb8\x80" "b")
        << "one UTF-16 unit, as the platform cuts";
}

}  // namespace
