#pragma once
// Objects that archive themselves. A class adopts Coding beside ns::Object and
// registers with the runtime (RT_DEFINE_CLASS): the unarchiver makes a blank
// instance with the class's registered factory and hands it the coder, so a
// coding class must have a factory (be default-constructible).
//
//   class Player : public ns::Object, public ns::Coding {
//       RT_DECLARE_CLASS(Player)
//   public:
//       void encodeWithCoder(ns::KeyedArchiver& coder) const override {
//           coder.encodeObject(name, "name");
//           coder.encodeInt64(level, "level");
//       }
//       bool initWithCoder(ns::KeyedUnarchiver& coder) override {
//           name = coder.decodeObjectOfClass<ns::String>("name");
//           level = coder.decodeInt64ForKey("level");
//           return true;
//       }
//       bool supportsSecureCoding() const override { return true; }
//       ...
//   };

#include <cstdint>

namespace ns {

class KeyedArchiver;
class KeyedUnarchiver;

// Codes in CocoaErrorDomain.
inline constexpr int64_t CoderReadCorruptError = 4864;   // unreadable archive, unexpected class
inline constexpr int64_t CoderInvalidValueError = 4866;  // an object that cannot be archived

inline constexpr const char* InvalidArchiveOperationException = "NSInvalidArchiveOperationException";
inline constexpr const char* InvalidUnarchiveOperationException = "NSInvalidUnarchiveOperationException";

class Coding {
public:
    virtual ~Coding() = default;

    // Writes the object's fields under keys of its own choosing.
    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
    // Fills this blank instance from the coder; false makes the object decode
    // as nil. The instance is already known to the unarchiver, so objects it
    // decodes may refer back to it (cycles come back whole).
    virtual bool initWithCoder(KeyedUnarchiver& coder) = 0;
    // Whether the class may be archived with requiringSecureCoding and
    // decoded by the class-checked unarchiving calls.
    virtual bool supportsSecureCoding() const { return false; }
};

}  // namespace ns
