// Script objects as the core keeps them: the record in the object list, the
// object word that names it, そ (the object used last), and how commands find,
// register and destroy objects. The widgets themselves are the backend's
// (library/objects/backend.h). Qt-free.
#pragma once

#include <string>

#include "words/obj_list.h"

namespace sorane {

class Interpreter;
class Call;
class ObjectBackend;
struct THashNode;

ObjectBackend& Backend(Interpreter& in);

// そ becomes a copy of the object word: value, type mark, word kind, index and
// position (not its level or read-only mark: そ stays a writable system variable).
void RememberObject(Interpreter& in, const THashNode& word);

// An object name argument of 作成, 設定 and 得る: evaluated when it starts
// with a double quote or a back-quote, else taken as written.
std::string ObjectNameArgument(Call& c, size_t k);

// What a name that is not a word raises.
enum class MissingWord {
  kNotCreated,  // "オブジェクト"%s"は、作成されていません。" (設定, assignments)
  kUndefined,   // "単語"%s"は、定義されていません。" (得る, reading)
  kNotFound,    // "オブジェクト"%s"が特定できません。" (オブジェクト破壊)
};
// An object by its word (okurigana folded). A word that is not an object
// raises ""%s"は、オブジェクトではありません。"; an object word whose record
// is gone raises "オブジェクト"%s"は、作成されていません。".
struct FoundObject {
  THashNode* word = nullptr;
  TObjNode* node = nullptr;
};
FoundObject ObjectByWord(Interpreter& in, const std::string& name, MissingWord missing);

// The live record at an index; raises "オブジェクト"%s"は、作成されていません。"
// with `name` when it is gone (an event handler or a value evaluated on the
// way may have destroyed it).
TObjNode& LiveObject(Interpreter& in, int index, const std::string& name);

// After the widget of object `index` was created: appends the record (on the
// host window, a フォーム on none), adds the object word (type mark = the kind
// name) and makes そ a copy of it. `index` is the length of the object list.
void RegisterObject(Interpreter& in, int index, const std::string& name, ObjKind kind);

// Destroys the object at `index` and deletes its word, when that word still
// names it. Objects placed on it are destroyed first, so none is left on a
// widget that is gone. The host window (0) is never destroyed.
void DestroyObject(Interpreter& in, int index);

// True when putting `object` onto `parent` would put it inside itself: the
// parent is the object or sits (through panels and forms) on it.
bool WouldContainItself(Interpreter& in, int object, int parent);

// 部品配置間隔 as an integer, 8 when it is not a number.
int PlacementGap(Interpreter& in);

}  // namespace sorane
