#pragma once
// Model mapping: fills model objects from dictionaries (or JSON text or data)
// and turns them back into dictionaries, by reading the properties a class
// registers with the runtime; archives them with the keyed archiver.
//
// How the library's surface maps onto C++:
// - Operations the library adds to every class are free functions taking the
//   class first (const rt::Class*): qz_objectWithKeyValues(Model::staticClass(), dict),
//   or typed, qz_objectWithKeyValues<Model>(dict). Operations it adds to every
//   object take the object first (ns::Id; nil gives nil): qz_keyValues(model).
//   Operations it adds to texts take the text: qz_url(text).
// - The qz_ names are kept. The category methods without the head
//   (properties, propertyKey, propertyObjectClassInArray) are in namespace tv,
//   and the older names (objectWithKeyValues, keyValues, url...) in tv::legacy.
// - The records are classes: TVPropertyType, TVPropertyKey, TVProperty, and
//   TVFoundation (the Foundation class set).
// - Hooks a model class gives are members found by QZ_MODEL_HOOKS (ModelHooks.h);
//   the set-up calls (qz_setup...) keep closures and values with the class.
// - A class in a dictionary (qz_objectClassInArray answers) is its name, or
//   qz_classValue(cls).
//
// The system converts on the main queue. The caches are guarded by locks so
// that a conversion on another thread does not corrupt them, but a name list
// being totalled for the first time may be seen half-filled by another
// thread, and each class's error is one value for the whole process.
//
// A list reply of the user centre maps as:
//   auto items = qz_objectArrayWithKeyValuesArray<GiftItem>(reply->objectForKey("lists"));
//   if (!items) log(qz_error<GiftItem>());   // domain "keyValuesArray参数不是一个数组", code 250

#include "net/ModelClass.h"
#include "net/ModelCoding.h"
#include "net/ModelHooks.h"
#include "net/ModelKeyValues.h"
#include "net/ModelProperty.h"
#include "net/ModelStringExtension.h"
#include "net/TVFoundation.h"
#include "net/TVProperty.h"
#include "net/TVPropertyKey.h"
#include "net/TVPropertyType.h"
