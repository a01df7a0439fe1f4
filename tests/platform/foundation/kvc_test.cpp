#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/foundation/Array.h"
#include "platform/foundation/KeyValueCoding.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Exception.h"

namespace {

using ns::Id;
using ns::num;
using ns::str;

class Person : public ns::Object {
    RT_DECLARE_CLASS(Person)
public:
    ns::Ref<ns::String> name;
    int32_t age = 0;
    ns::Id pet;
};

class Account : public ns::Object {
    RT_DECLARE_CLASS(Account)
public:
    ns::Ref<ns::String> name;
    int32_t age = 0;
    int64_t score = 0;
    double ratio = 0;
    float weight = 0;
    bool vip = false;
    uint64_t serial = 0;
    ns::Ref<Person> partner;
    ns::Ref<ns::Dictionary> info;
    ns::Id anything;
};

// Answers misses itself, through handlers its subclasses inherit.
class LenientAccount : public Account {
    RT_DECLARE_CLASS(LenientAccount)
public:
    std::vector<std::string> log;
};

class LenientChild : public LenientAccount {
    RT_DECLARE_CLASS(LenientChild)
};

}  // namespace

RT_DEFINE_CLASS(Person, ns::Object, "CTPerson", RT_PROPERTY(Person, name), RT_PROPERTY(Person, age), RT_PROPERTY(Person, pet))
RT_DEFINE_CLASS(Account, ns::Object, "CTAccount",
                RT_PROPERTY(Account, name, "C"),
                RT_PROPERTY(Account, age),
                RT_PROPERTY(Account, score),
                RT_PROPERTY(Account, ratio),
                RT_PROPERTY(Account, weight),
                RT_PROPERTY(Account, vip),
                RT_PROPERTY(Account, serial),
                RT_PROPERTY(Account, partner),
                RT_PROPERTY(Account, info),
                RT_PROPERTY(Account, anything))
RT_DEFINE_CLASS(LenientAccount, Account, "CTLenientAccount")
RT_DEFINE_CLASS(LenientChild, LenientAccount, "CTLenientChild")

namespace {

template <class F>
ns::Exception raisedBy(F&& body) {
    try {
        body();
    } catch (const ns::Exception& e) {
        return e;
    }
    ADD_FAILURE() << "nothing raised";
    return ns::Exception("", "");
}

std::string receiver(const ns::Object& object) {
    char buf[64];
    std::snprintf(buf, sizeof buf, " %p>", static_cast<const void*>(&object));
    return "<" + object.className() + buf;
}

TEST(KeyValueCoding, ScalarsReadAsNumbersOfTheirKind) {
    auto account = std::make_shared<Account>();
    account->age = 31;
    account->score = -5000000000;
    account->ratio = 0.25;
    account->weight = 1.5f;
    account->vip = true;
    account->serial = UINT64_MAX;

    auto age = ns::cast<ns::Number>(ns::valueForKey(account, "age"));
    ASSERT_TRUE(age);
    EXPECT_STREQ(age->objCType(), "i");
    EXPECT_EQ(age->longLongValue(), 31);
    EXPECT_EQ(ns::cast<ns::Number>(ns::valueForKey(account, "score"))->longLongValue(), -5000000000);
    EXPECT_STREQ(ns::cast<ns::Number>(ns::valueForKey(account, "ratio"))->objCType(), "d");
    EXPECT_STREQ(ns::cast<ns::Number>(ns::valueForKey(account, "weight"))->objCType(), "f");
    EXPECT_EQ(ns::valueForKey(account, "vip"), Id(ns::Number::True()));
    EXPECT_EQ(ns::cast<ns::Number>(ns::valueForKey(account, "serial"))->unsignedLongLongValue(), UINT64_MAX);
    EXPECT_EQ(ns::valueForKey(account, "name"), nullptr);
    EXPECT_EQ(ns::valueForKey(Id(), "name"), nullptr);
}

TEST(KeyValueCoding, ScalarsTakeNumbersOrNumericTexts) {
    auto account = std::make_shared<Account>();
    ns::setValueForKey(account, num(42), "age");
    EXPECT_EQ(account->age, 42);
    ns::setValueForKey(account, str("  17 years"), "age");
    EXPECT_EQ(account->age, 17);
    ns::setValueForKey(account, ns::Number::withDouble(3.9), "score");
    EXPECT_EQ(account->score, 3);
    ns::setValueForKey(account, str("-12345678901"), "score");
    EXPECT_EQ(account->score, -12345678901);
    ns::setValueForKey(account, str("2.5e1"), "ratio");
    EXPECT_DOUBLE_EQ(account->ratio, 25.0);
    ns::setValueForKey(account, num(7), "weight");
    EXPECT_FLOAT_EQ(account->weight, 7.0f);
    ns::setValueForKey(account, str("yes"), "vip");
    EXPECT_TRUE(account->vip);
    ns::setValueForKey(account, num(0), "vip");
    EXPECT_FALSE(account->vip);
    ns::setValueForKey(account, str("0009"), "vip");
    EXPECT_TRUE(account->vip);
    ns::setValueForKey(account, str("12"), "serial");
    EXPECT_EQ(account->serial, 12u);

    ns::Id notANumber = ns::Array::make({num(1)});
    ns::Exception e = raisedBy([&] { ns::setValueForKey(account, notANumber, "age"); });
    EXPECT_EQ(e.name(), ns::InvalidArgumentException);
    char address[32];
    std::snprintf(address, sizeof address, "%p", static_cast<const void*>(notANumber.get()));
    EXPECT_EQ(e.reason(), std::string("-[__NSArrayI intValue]: unrecognized selector sent to instance ") + address);
    EXPECT_EQ(account->age, 17);
    EXPECT_THROW(ns::setValueForKey(account, ns::Null::null(), "ratio"), ns::Exception);
}

TEST(KeyValueCoding, NilOnAScalarGoesToSetNilValueForKey) {
    auto account = std::make_shared<Account>();
    account->age = 9;
    ns::Exception e = raisedBy([&] { ns::setValueForKey(account, nullptr, "age"); });
    EXPECT_EQ(e.name(), ns::InvalidArgumentException);
    EXPECT_EQ(e.reason(), "[" + receiver(*account) + " setNilValueForKey]: could not set nil as the value for the key age.");
    EXPECT_EQ(account->age, 9);

    // Objects take nil, and refuse values of another class.
    account->name = str("x");
    ns::setValueForKey(account, nullptr, "name");
    EXPECT_EQ(account->name, nullptr);
    EXPECT_THROW(ns::setValueForKey(account, num(1), "name"), ns::Exception);
    ns::setValueForKey(account, num(1), "anything");
    EXPECT_TRUE(account->anything->isEqual(num(1)));
}

TEST(KeyValueCoding, UndefinedKeysRaiseByDefault) {
    auto account = std::make_shared<Account>();
    ns::Exception get = raisedBy([&] { ns::valueForKey(account, "nickname"); });
    EXPECT_EQ(get.name(), ns::UndefinedKeyException);
    EXPECT_EQ(get.reason(), "[" + receiver(*account) +
                                " valueForUndefinedKey:]: this class is not key value coding-compliant for the key nickname.");
    ns::Exception set = raisedBy([&] { ns::setValueForKey(account, str("v"), "nickname"); });
    EXPECT_EQ(set.name(), ns::UndefinedKeyException);
    EXPECT_EQ(set.reason(), "[" + receiver(*account) +
                                " setValue:forUndefinedKey:]: this class is not key value coding-compliant for the key nickname.");

    // An immutable dictionary has no settable keys either.
    auto frozen = ns::Dictionary::make({{"a", num(1)}});
    EXPECT_EQ(raisedBy([&] { ns::setValueForKey(frozen, num(2), "a"); }).name(), ns::UndefinedKeyException);
}

TEST(KeyValueCoding, PerClassHandlersAnswerMissesForSubclassesToo) {
    ns::setValueForUndefinedKeyHandler(LenientAccount::staticClass(), [](const ns::Object& object, const std::string& key) -> Id {
        return str(object.className() + "." + key);
    });
    ns::setSetValueForUndefinedKeyHandler(LenientAccount::staticClass(), [](ns::Object& object, Id value, const std::string& key) {
        static_cast<LenientAccount&>(object).log.push_back(key + "=" + (value ? value->description() : "nil"));
    });
    ns::setSetNilValueForKeyHandler(LenientAccount::staticClass(), [](ns::Object& object, const std::string& key) {
        ns::setValueForKey(object, num(-1), key);
    });

    auto child = std::make_shared<LenientChild>();
    EXPECT_TRUE(ns::valueForKey(child, "missing")->isEqual(str("CTLenientChild.missing")));
    ns::setValueForKey(child, str("v"), "missing");
    ns::setValueForKey(child, nullptr, "other");
    EXPECT_EQ(child->log, (std::vector<std::string>{"missing=v", "other=nil"}));
    child->age = 5;
    ns::setValueForKey(child, nullptr, "age");
    EXPECT_EQ(child->age, -1);

    // The base class is untouched.
    EXPECT_THROW(ns::valueForKey(std::make_shared<Account>(), "missing"), ns::Exception);
}

TEST(KeyValueCoding, KeyPathsThroughObjectsAndDictionaries) {
    auto account = std::make_shared<Account>();
    account->partner = std::make_shared<Person>();
    account->partner->name = str("Kim");
    account->info = ns::MutableDictionary::make({{"address", ns::MutableDictionary::make({{"city", str("Oslo")}})}});

    EXPECT_TRUE(ns::valueForKeyPath(account, "partner.name")->isEqual(str("Kim")));
    EXPECT_TRUE(ns::valueForKeyPath(account, "info.address.city")->isEqual(str("Oslo")));
    EXPECT_EQ(ns::valueForKeyPath(account, "info.address.zip"), nullptr);
    EXPECT_EQ(ns::valueForKeyPath(account, "info.nothing.city"), nullptr);
    EXPECT_EQ(ns::valueForKeyPath(account, "partner.pet.name"), nullptr);
    EXPECT_THROW(ns::valueForKeyPath(account, "partner.nope"), ns::Exception);

    ns::setValueForKeyPath(account, str("Bergen"), "info.address.city");
    ns::setValueForKeyPath(account, num(30), "partner.age");
    ns::setValueForKeyPath(account, str("lost"), "partner.pet.name");  // nil on the way: nothing
    EXPECT_TRUE(ns::valueForKeyPath(account, "info.address.city")->isEqual(str("Bergen")));
    EXPECT_EQ(account->partner->age, 30);
    ns::setValueForKeyPath(account, nullptr, "info.address.city");
    EXPECT_EQ(ns::cast<ns::Dictionary>(ns::valueForKeyPath(account, "info.address"))->count(), 0u);
}

TEST(KeyValueCoding, ArraysMapOverTheirElements) {
    auto a = std::make_shared<Account>();
    a->name = str("a");
    a->age = 1;
    auto b = std::make_shared<Account>();
    b->age = 2;
    b->partner = std::make_shared<Person>();
    b->partner->name = str("p");
    auto accounts = ns::Array::make({a, b});

    EXPECT_TRUE(ns::valueForKey(accounts, "name")->isEqual(ns::Array::make({str("a"), ns::Null::null()})));
    EXPECT_TRUE(ns::valueForKey(accounts, "age")->isEqual(ns::Array::make({num(1), num(2)})));
    EXPECT_TRUE(ns::valueForKeyPath(accounts, "partner.name")->isEqual(ns::Array::make({ns::Null::null(), str("p")})));
}

}  // namespace
