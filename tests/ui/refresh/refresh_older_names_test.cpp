// The scroll view's older control names, and the method exchange of the
// runtime's class methods.

#include <functional>
#include <string>

#include "platform/foundation/Log.h"
#include "refresh_test_support.h"
#include "ui/refresh/TVRefreshAutoNormalFooter.h"
#include "ui/refresh/TVRefreshMethodExchange.h"
#include "ui/refresh/TVRefreshNormalHeader.h"

namespace {

class ExchangeBase : public ns::Object {
    RT_DECLARE_CLASS(ExchangeBase)
};
class ExchangeChild : public ExchangeBase {
    RT_DECLARE_CLASS(ExchangeChild)
};
RT_DEFINE_CLASS(ExchangeBase, ns::Object, "TVRefreshTestExchangeBase")
RT_DEFINE_CLASS(ExchangeChild, ExchangeBase, "TVRefreshTestExchangeChild")

using Sound = std::function<std::string()>;

std::string call(const rt::Class* cls, std::string_view name) {
    const Sound* method = cls->classMethod<Sound>(name);
    return method ? (*method)() : "(none)";
}

using RefreshOlderNamesTest = RefreshTest;

TEST_F(RefreshOlderNamesTest, TheOlderNamesInstallAndReadTheSameControls) {
    auto header = TVRefreshHeader::headerWithRefreshingBlock<TVRefreshNormalHeader>({});
    auto footer = TVRefreshFooter::footerWithRefreshingBlock<TVRefreshAutoNormalFooter>({});
    setHeader(*scrollView, header);
    setFooter(*scrollView, footer);
    EXPECT_EQ(TV_header(*scrollView), header);
    EXPECT_EQ(TV_footer(*scrollView), footer);
    EXPECT_EQ(header->superview().get(), scrollView.get());
    // The older getters read what is installed, not only its absence.
    EXPECT_EQ(::header(*scrollView), header);
    EXPECT_EQ(::footer(*scrollView), footer);
    auto another = TVRefreshFooter::footerWithRefreshingBlock<TVRefreshAutoNormalFooter>({});
    setTV_footer(*scrollView, another);
    EXPECT_EQ(::footer(*scrollView), another);

    auto other = TVRefreshHeader::headerWithRefreshingBlock<TVRefreshNormalHeader>({});
    setTV_header(*scrollView, other);
    EXPECT_EQ(::header(*scrollView), other);
    EXPECT_EQ(header->superview(), nullptr) << "the one it replaced left";
    setFooter(*scrollView, nullptr);
    EXPECT_EQ(::footer(*scrollView), nullptr);
    EXPECT_EQ(another->superview(), nullptr);
}

TEST(RefreshMethodExchange, TwoClassMethodsSwapInTheRuntimesTableAndSubclassesSeeIt) {
    const rt::Class* base = ExchangeBase::staticClass();
    const rt::Class* child = ExchangeChild::staticClass();
    base->addClassMethod("bark", Sound([] { return std::string("woof"); }));
    base->addClassMethod("mew", Sound([] { return std::string("meow"); }));
    child->addClassMethod("chirp", Sound([] { return std::string("tweet"); }));

    TVRefresh::exchangeClassMethod(*base, "bark", "mew");
    EXPECT_EQ(call(base, "bark"), "meow");
    EXPECT_EQ(call(base, "mew"), "woof");
    EXPECT_EQ(call(child, "bark"), "meow") << "inherited through the table";

    // A method of the subclass with one of its superclass: the inherited one
    // is swapped where it lives.
    TVRefresh::exchangeClassMethod(*child, "chirp", "mew");
    EXPECT_EQ(call(child, "chirp"), "woof");
    EXPECT_EQ(call(child, "mew"), "tweet");
    EXPECT_EQ(call(base, "mew"), "tweet");
    EXPECT_EQ(call(base, "chirp"), "(none)");

    // Exchanging back restores both.
    TVRefresh::exchangeClassMethod(*child, "chirp", "mew");
    TVRefresh::exchangeClassMethod(*base, "bark", "mew");
    EXPECT_EQ(call(base, "bark"), "woof");
    EXPECT_EQ(call(base, "mew"), "meow");
    EXPECT_EQ(call(child, "chirp"), "tweet");
}

TEST(RefreshMethodExchange, WhatCannotBeExchangedIsLoggedAndLeftAlone) {
    const rt::Class* base = ExchangeBase::staticClass();
    base->addClassMethod("hum", Sound([] { return std::string("hmm"); }));
    base->addClassMethod("count", std::function<int()>([] { return 3; }));
    ns::LogCapture log;

    TVRefresh::exchangeClassMethod(*base, "hum", "missing");
    TVRefresh::exchangeClassMethod(*base, "hum", "count");
    EXPECT_EQ(call(base, "hum"), "hmm");
    EXPECT_EQ((*base->classMethod<std::function<int()>>("count"))(), 3);
    EXPECT_TRUE(log.contains("TVRefresh: class methods hum and missing of TVRefreshTestExchangeBase not exchanged"));
    EXPECT_TRUE(log.contains("TVRefresh: class methods hum and count of TVRefreshTestExchangeBase not exchanged"));

    TVRefresh::exchangeInstanceMethod(*base, "reloadData", "TV_reloadData");
    EXPECT_TRUE(log.contains("TVRefresh: instance methods reloadData and TV_reloadData of "
                             "TVRefreshTestExchangeBase not exchanged"));
}

}  // namespace
