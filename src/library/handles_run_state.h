// State that the table and handle commands keep for one run of an interpreter
// (the 表検索 search, open file handles, the INI file and the registry key).
//
// The state must end with the run: a new run on the same interpreter, or a new
// interpreter, starts without it, and open files and the registry store are
// closed when the run's word table goes. It is therefore anchored in the word
// table itself: the run's それ word carries a reference (its RefText, unused by
// variables) to a bundle that owns every state object, and the bundle is
// destroyed with that word.
#pragma once

namespace sorane {

class Interpreter;

// The slot of `tag` in the current run's bundle; `create` makes the object on
// first use and `destroy` frees it with the bundle.
void* RunStateSlot(Interpreter& in, const void* tag, void* (*create)(), void (*destroy)(void*));

// The T of the current run, default-constructed on first use.
template <class T>
T& RunState(Interpreter& in) {
  static const char tag = 0;
  return *static_cast<T*>(RunStateSlot(
      in, &tag, []() -> void* { return new T(); }, [](void* p) { delete static_cast<T*>(p); }));
}

}  // namespace sorane
