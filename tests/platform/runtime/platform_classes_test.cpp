#include <gtest/gtest.h>

#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/DecimalNumber.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Class.h"

namespace {

std::string chain(const char* name) {
    std::string out;
    for (const rt::Class* c = rt::classNamed(name); c; c = c->superclass()) {
        out += out.empty() ? c->name() : " < " + c->name();
    }
    return out;
}

}  // namespace

TEST(PlatformClasses, RegisteredUnderPlatformNamesWithTheirHierarchy) {
    EXPECT_EQ(chain("NSMutableString"), "NSMutableString < NSString < NSObject");
    EXPECT_EQ(chain("NSDecimalNumber"), "NSDecimalNumber < NSNumber < NSValue < NSObject");
    EXPECT_EQ(chain("NSMutableData"), "NSMutableData < NSData < NSObject");
    EXPECT_EQ(chain("NSMutableArray"), "NSMutableArray < NSArray < NSObject");
    EXPECT_EQ(chain("NSMutableDictionary"), "NSMutableDictionary < NSDictionary < NSObject");
    EXPECT_EQ(chain("NSMutableSet"), "NSMutableSet < NSSet < NSObject");
    EXPECT_EQ(chain("NSMutableAttributedString"), "NSMutableAttributedString < NSAttributedString < NSObject");
    for (const char* name : {"NSURL", "NSDate", "NSError", "NSNull", "NSManagedObject", "NSIndexSet"}) {
        EXPECT_EQ(chain(name), std::string(name) + " < NSObject");
    }
}

TEST(PlatformClasses, InstancesAreKindsOfTheirPlatformNames) {
    ns::Id mutableText = ns::MutableString::make("a");
    EXPECT_TRUE(mutableText->isKindOf("NSString"));
    EXPECT_TRUE(mutableText->isKindOf("NSMutableString"));
    EXPECT_FALSE(ns::str("a")->isKindOf("NSMutableString"));

    EXPECT_TRUE(ns::num(1)->isKindOf("NSValue"));
    EXPECT_TRUE(ns::Number::True()->isKindOf("NSNumber"));
    EXPECT_FALSE(ns::num(1)->isKindOf("NSString"));

    // Concrete collections answer to the abstract platform names.
    ns::Id array = ns::Array::make({ns::num(1)});
    EXPECT_TRUE(array->isKindOf("NSArray"));
    EXPECT_FALSE(array->isKindOf("NSMutableArray"));
    ns::Id mutableArray = ns::MutableArray::make();
    EXPECT_TRUE(mutableArray->isKindOf("NSArray"));
    EXPECT_TRUE(mutableArray->isKindOf("NSMutableArray"));
    ns::Id dictionary = ns::MutableDictionary::make();
    EXPECT_TRUE(dictionary->isKindOf("NSDictionary"));
    EXPECT_TRUE(dictionary->isKindOf("NSMutableDictionary"));
    EXPECT_FALSE(dictionary->isKindOf("NSArray"));

    EXPECT_TRUE(ns::Null::null()->isKindOf("NSNull"));
    EXPECT_TRUE(ns::URL::make("https://example.com/a")->isKindOf("NSURL"));
    EXPECT_TRUE(ns::Data::make({1, 2})->isKindOf("NSData"));
}

TEST(PlatformClasses, TypeCodesOfPropertiesNamePlatformClasses) {
    EXPECT_EQ(rt::typeCodeOf<ns::Ref<ns::MutableArray>>(), "@\"NSMutableArray\"");
    EXPECT_EQ(rt::typeCodeOf<ns::Ref<ns::String>>(), "@\"NSString\"");
    EXPECT_EQ(rt::typeCodeOf<ns::Ref<ns::DecimalNumber>>(), "@\"NSDecimalNumber\"");
    EXPECT_EQ(rt::typeCodeOf<ns::Id>(), "@");
}
