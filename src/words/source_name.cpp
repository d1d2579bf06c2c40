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

// (Made before any code runs: an empty string needs no allocation.)
constinit const std::string SourceNameRef::kEmpty;

const std::string* SourceNameRef::Keep(std::string_view name) {
  if (name.empty()) return &kEmpty;
  KeptNames& kept = Kept();
  std::lock_guard<std::mutex> hold(kept.lock);
  return &*kept.names.emplace(name).first;
}

}  // namespace sorane
