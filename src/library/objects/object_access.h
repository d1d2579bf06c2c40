// Setting and reading object properties, and the default value of an object:
// the one path that 設定, 得る, the statement form オブジェクトの、項目名は、値
// and the expression form オブジェクトの項目名 all take. Each property goes the
// way its row in the property table routes it for the object's kind: to the
// widget, to an event slot, to the object word's value, or to its error.
// Qt-free.
#pragma once

#include <string>

#include "library/objects/object_store.h"

namespace sorane {

class Interpreter;
struct ObjectLayer;

// Sets the property named `property` (folded) of a found object. `value_text`
// is the value as written: evaluated here, except for the event properties,
// which take it literally. そ becomes a copy of the object word first.
void SetPropertyOf(Interpreter& in, const FoundObject& object, const std::string& property,
                   const std::string& value_text);

// A read value and the type mark it carries; nullptr leaves the mark of the
// destination as it was.
struct PropertyRead {
  std::string text;
  const char* mark = nullptr;
};
PropertyRead GetPropertyOf(Interpreter& in, const FoundObject& object, const std::string& property);

// The object word read without a property, and assigned to.
PropertyRead GetDefaultOf(Interpreter& in, THashNode* word);
void SetDefaultOf(Interpreter& in, THashNode* word, const std::string& value);

// What the library installs on the interpreter (Interpreter::ObjectHooks).
const ObjectLayer& ObjectLayerHooks();

}  // namespace sorane
