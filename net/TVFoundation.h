#pragma once
// The Foundation classes of model mapping: the classes whose values are taken
// as they are rather than converted property by property, and below which the
// class walks stop.

#include <vector>

#include "platform/runtime/Class.h"

class TVFoundation {
public:
    // NSURL, NSDate, NSValue, NSData, NSError, NSArray, NSDictionary,
    // NSString, NSAttributedString: numbers come in through NSValue, the
    // mutable classes and the JSON codec's containers through their bases.
    static const std::vector<const rt::Class*>& foundationClasses();

    // True for exactly NSObject or NSManagedObject, and for a member of the
    // set or a subclass of one; false for nil and everything else (NSSet,
    // NSNull and subclasses of NSManagedObject are model classes).
    static bool isClassFromFoundation(const rt::Class* cls);
};
