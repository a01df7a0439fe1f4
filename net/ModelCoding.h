#pragma once
// Archiving a model's properties with the platform's keyed archiver, for a
// model class that adopts ns::Coding:
//
//   void encodeWithCoder(ns::KeyedArchiver& coder) const override { qz_encode(*this, coder); }
//   bool initWithCoder(ns::KeyedUnarchiver& coder) override { return qz_decode(*this, coder); }
//
// Both honour the class's allowed and ignored coding names (ModelClass.h).

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/runtime/Object.h"

// Writes each property that has a value as an object under its name
// (scalars as numbers; a type key-value coding must not touch as NSNull).
void qz_encode(const ns::Object& object, ns::KeyedArchiver& coder);

// Reads each property back from its name, or else from "_" and its name,
// leaving it untouched when neither is there. A property whose declared
// class is known is decoded as that class, so class-checked unarchiving
// accepts nested models. A value that does not fit its property fails the
// whole decoding (CocoaErrorDomain, CoderReadCorruptError) rather than
// giving a half-filled model; the result is false then.
bool qz_decode(ns::Object& object, ns::KeyedUnarchiver& coder);
