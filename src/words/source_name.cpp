#include "words/source_name.h"

#include <mutex>
#include <unordered_set>

namespace sorane {

namespace {
// The names kept, for the whole run (never destroyed: a name may be read
// while the program ends). Elements of the set never move.
struct KeptNames {
  std::mutex lock;
  std::unordered_set<std::string> names;
};
KeptNames& Kept() {
  static KeptNames* kept = new KeptNames;
  return *kept;
}
}  // namespace

// (An empty string needs no allocation: the compiler makes it before any code
// runs where the C++ library allows; else it is made at start-up, and only its
// address is taken before then.)
const std::string SourceNameRef::kEmpty;

const std::string* SourceNameRef::Keep(std::string_view name) {
  if (name.empty()) return &kEmpty;
  KeptNames& kept = Kept();
  std::lock_guard<std::mutex> hold(kept.lock);
  return &*kept.names.emplace(name).first;
}

}  // namespace sorane
