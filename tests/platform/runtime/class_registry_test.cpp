#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/runtime/Class.h"
#include "platform/runtime/Exception.h"

namespace {

class Animal : public ns::Object {
    RT_DECLARE_CLASS(Animal)
public:
    ns::Ref<ns::Object> tag;
    int64_t legs = 4;
    bool tame = false;
    double weight = 0;
    int32_t age = 0;
    uint64_t serial = 0;
    std::function<void()> onFeed;
};

class Dog : public Animal {
    RT_DECLARE_CLASS(Dog)
public:
    ns::Ref<Animal> friendAnimal;
    ns::Ref<Dog> puppy;  // its own class: must not recurse into its registration
};

// Not default-constructible, so the registry gets no factory.
class Shelter : public ns::Object {
    RT_DECLARE_CLASS(Shelter)
public:
    explicit Shelter(int) {}
};

}  // namespace

RT_DEFINE_CLASS(Animal, ns::Object, "RTTestAnimal",
                RT_PROPERTY(Animal, tag),
                RT_PROPERTY(Animal, legs),
                RT_PROPERTY(Animal, tame),
                RT_PROPERTY(Animal, weight),
                RT_PROPERTY(Animal, age, "R"),
                RT_PROPERTY(Animal, serial),
                RT_PROPERTY(Animal, onFeed))
RT_DEFINE_CLASS(Dog, Animal, "RTTestDog", RT_PROPERTY(Dog, friendAnimal, "C"), RT_PROPERTY(Dog, puppy))
RT_DEFINE_CLASS(Shelter, ns::Object, "RTTestShelter")

TEST(ClassRegistry, PropertiesKeepDeclarationOrderAndPlatformAttributeStrings) {
    const rt::Class* cls = rt::classNamed("RTTestAnimal");
    ASSERT_NE(cls, nullptr);
    std::vector<std::string> attributes;
    for (const rt::Property& p : cls->properties()) attributes.push_back(p.name + " " + p.attributes);
    EXPECT_EQ(attributes, (std::vector<std::string>{
                              "tag T@,&,N,V_tag",
                              "legs Tq,N,V_legs",
                              "tame TB,N,V_tame",
                              "weight Td,N,V_weight",
                              "age Ti,R,N,V_age",
                              "serial TQ,N,V_serial",
                              "onFeed T@?,C,N,V_onFeed",
                          }));
    const rt::Property* friendProp = rt::classNamed("RTTestDog")->findProperty("friendAnimal");
    ASSERT_NE(friendProp, nullptr);
    EXPECT_EQ(friendProp->attributes, "T@\"RTTestAnimal\",C,N,V_friendAnimal");
    EXPECT_EQ(friendProp->typeCode, "@\"RTTestAnimal\"");
    EXPECT_TRUE(cls->findProperty("age")->readonly);
    EXPECT_EQ(rt::classNamed("RTTestDog")->findProperty("puppy")->attributes, "T@\"RTTestDog\",&,N,V_puppy");
}

TEST(ClassRegistry, LookupHierarchyAndFactories) {
    const rt::Class* dogClass = rt::classNamed("RTTestDog");
    ASSERT_EQ(dogClass, Dog::staticClass());
    EXPECT_EQ(dogClass->superclass(), Animal::staticClass());
    EXPECT_EQ(dogClass->superclass()->superclass()->name(), "NSObject");
    EXPECT_EQ(rt::classNamed("NoSuchClass"), nullptr);

    ns::Id made = dogClass->create();
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->className(), "RTTestDog");
    EXPECT_TRUE(made->isKindOf("RTTestAnimal"));
    EXPECT_TRUE(made->isKindOf("NSObject"));
    EXPECT_FALSE(made->isMemberOf(Animal::staticClass()));
    EXPECT_FALSE(made->isKindOf("NoSuchClass"));
    EXPECT_EQ(rt::classNamed("RTTestShelter")->create(), nullptr);

    // Inherited properties are found through the subclass.
    EXPECT_NE(dogClass->findProperty("legs"), nullptr);
    EXPECT_EQ(Animal::staticClass()->findProperty("friendAnimal"), nullptr);
}

TEST(ClassRegistry, AccessorsCarryScalarsAndCheckObjectClasses) {
    auto dog = std::make_shared<Dog>();
    const rt::Class* cls = dog->classObject();
    EXPECT_TRUE(cls->findProperty("legs")->set(*dog, int64_t{3}));
    EXPECT_TRUE(cls->findProperty("weight")->set(*dog, int64_t{12}));
    EXPECT_TRUE(cls->findProperty("tame")->set(*dog, true));
    EXPECT_EQ(dog->legs, 3);
    EXPECT_EQ(dog->weight, 12.0);
    EXPECT_TRUE(dog->tame);
    EXPECT_EQ(std::get<int64_t>(cls->findProperty("legs")->get(*dog)), 3);
    EXPECT_EQ(std::get<double>(cls->findProperty("weight")->get(*dog)), 12.0);

    const rt::Property* friendProp = cls->findProperty("friendAnimal");
    auto other = std::make_shared<Animal>();
    EXPECT_TRUE(friendProp->set(*dog, ns::Id(other)));
    EXPECT_EQ(dog->friendAnimal, other);
    // An object of an unrelated class does not fit and leaves the value alone.
    EXPECT_FALSE(friendProp->set(*dog, ns::Id(std::make_shared<Shelter>(1))));
    EXPECT_EQ(dog->friendAnimal, other);
    EXPECT_FALSE(friendProp->set(*dog, int64_t{1}));
    EXPECT_TRUE(friendProp->set(*dog, std::monostate{}));
    EXPECT_EQ(dog->friendAnimal, nullptr);
}

TEST(ClassRegistry, ClassMethodsAreInheritedAndOverridable) {
    using Hook = std::function<std::string()>;
    Animal::staticClass()->addClassMethod("rtTestSound", Hook([] { return std::string("generic"); }));
    const Hook* inherited = Dog::staticClass()->classMethod<Hook>("rtTestSound");
    ASSERT_NE(inherited, nullptr);
    EXPECT_EQ((*inherited)(), "generic");

    Dog::staticClass()->addClassMethod("rtTestSound", Hook([] { return std::string("woof"); }));
    EXPECT_EQ((*Dog::staticClass()->classMethod<Hook>("rtTestSound"))(), "woof");
    EXPECT_EQ((*Animal::staticClass()->classMethod<Hook>("rtTestSound"))(), "generic");
    EXPECT_EQ(ns::Object::staticClass()->findClassMethod("rtTestSound"), nullptr);
}

TEST(ClassRegistry, AssociatedValuesOnClassesAndObjects) {
    static const char key = 0;
    Dog::staticClass()->setAssociated(&key, std::string("per-class"));
    EXPECT_EQ(std::any_cast<std::string>(Dog::staticClass()->associated(&key)), "per-class");
    // Associations belong to the class object itself, not its subclasses' or superclasses'.
    EXPECT_FALSE(Animal::staticClass()->associated(&key).has_value());
    Dog::staticClass()->setAssociated(&key, std::any());
    EXPECT_FALSE(Dog::staticClass()->associated(&key).has_value());

    auto dog = std::make_shared<Dog>();
    EXPECT_FALSE(dog->associated(&key).has_value());
    dog->setAssociated(&key, 7);
    EXPECT_EQ(std::any_cast<int>(dog->associated(&key)), 7);
    dog->setAssociated(&key, std::any());
    EXPECT_FALSE(dog->associated(&key).has_value());
}

// Associated values live outside the object and die with it: what they hold
// is released, a value holding another object with values of its own is torn
// down without deadlock, and a new object at a freed address starts bare.
TEST(ClassRegistry, AssociatedValuesDieWithTheirObject) {
    static const char key = 0, otherKey = 0;
    auto held = std::make_shared<Animal>();
    ns::Weak<Animal> watch = held;
    auto dog = std::make_shared<Dog>();
    dog->setAssociated(&key, ns::Id(held));
    dog->setAssociated(&otherKey, std::string("second"));
    held.reset();
    ASSERT_FALSE(watch.expired());
    const void* address = dog.get();
    dog.reset();
    EXPECT_TRUE(watch.expired());

    // Some allocation soon lands at the freed address (the allocator hands the
    // last freed block of a size out first); none may inherit a value.
    std::vector<std::shared_ptr<Dog>> fresh;
    bool sawAddress = false;
    for (int i = 0; i < 64; ++i) {
        fresh.push_back(std::make_shared<Dog>());
        sawAddress = sawAddress || fresh.back().get() == address;
        EXPECT_FALSE(fresh.back()->associated(&key).has_value());
        EXPECT_FALSE(fresh.back()->associated(&otherKey).has_value());
    }
    if (!sawAddress) GTEST_LOG_(INFO) << "the freed address was not handed out again";

    // A chain: each dog's value is the next dog, which has a value of its own.
    auto head = std::make_shared<Dog>();
    ns::Weak<Dog> tail;
    {
        ns::Ref<Dog> current = head;
        for (int i = 0; i < 100; ++i) {
            auto next = std::make_shared<Dog>();
            current->setAssociated(&key, ns::Id(next));
            current = next;
        }
        tail = current;
        current->setAssociated(&key, std::string("end"));
    }
    EXPECT_EQ(std::any_cast<std::string>(tail.lock()->associated(&key)), "end");
    head.reset();
    EXPECT_TRUE(tail.expired());

    // Replacing a value releases the old one at once.
    auto owner = std::make_shared<Dog>();
    auto first = std::make_shared<Animal>();
    ns::Weak<Animal> firstWatch = first;
    owner->setAssociated(&key, ns::Id(std::move(first)));
    owner->setAssociated(&key, 3);
    EXPECT_TRUE(firstWatch.expired());
    EXPECT_EQ(std::any_cast<int>(owner->associated(&key)), 3);
}

TEST(ObjectRoot, IdentityEqualityAndCopyRefusal) {
    auto a = std::make_shared<Animal>();
    auto b = std::make_shared<Animal>();
    EXPECT_TRUE(ns::equal(a, a));
    EXPECT_FALSE(ns::equal(a, b));
    EXPECT_TRUE(ns::equal(nullptr, nullptr));
    EXPECT_FALSE(ns::equal(a, nullptr));
    EXPECT_EQ(a->description().rfind("<RTTestAnimal: 0x", 0), 0u);
    try {
        a->copy();
        FAIL() << "copy of a class without copying should raise";
    } catch (const ns::Exception& e) {
        EXPECT_EQ(e.name(), "NSInvalidArgumentException");
        EXPECT_EQ(e.reason(), "-[RTTestAnimal copyWithZone:]: unrecognized selector sent to instance");
    }
}
