// Statements read once. What the statement loop reads at a position is
// remembered with the bytes it read there: a plain assignment (『X は、式』 or
// 『X=式』 with nothing pushed before it: its target and value text), a command
// statement whose tokens only push texts (the items, verb last), a block (its
// copy), the arguments of a call (split at their commas). When the loop comes
// to the same bytes at the same position again (the next pass of a loop, the
// next call of a label), the record stands for the reading. The bytes are
// compared on use, so a record never applies to a text that changed or to
// another text that took the place of a freed one; once they were found in a
// program text, that text (which never changes: positions hold it const) is
// known by its owner and they are not compared there again. A record holds no
// pointer it reads through, and what it names in the word table is checked
// against the table's generation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "text/number.h"
#include "text/sjis.h"
#include "words/hash.h"
#include "words/run_control.h"

namespace sorane {

class Interpreter;
struct THashNode;

// The word a name found while the word table had `generation`.
struct WordHint {
  THashNode* word = nullptr;
  uint64_t generation = 0;
};

// Whether a text (always the same one) reads as one word (see
// Interpreter::ReadsAsWord), and the word it named in the table's generation.
struct PlainWord {
  bool plain = false;
  WordHint hint;
};

// The program text a record was last found in, by a weak reference: texts
// never change once made, so the record holds there for as long as the text
// lives, and the reference keeps the text's control block, so no text made
// later is ever taken for it.
struct ReadInText {
  mutable std::weak_ptr<const std::string> read_in;
};

// `noted` refers to the text `text` is (its control block; the text itself
// may be gone, and then no live text is it).
inline bool SameText(const std::weak_ptr<const std::string>& noted,
                     const std::shared_ptr<const std::string>& text) {
  return !noted.owner_before(text) && !text.owner_before(noted);
}

// A command statement whose tokens are pushed without running anything (words,
// literals without embedded expressions, plain numbers): the items it leaves
// on the argument stack just before the byte that ends it, verb last. A record
// with no items stands for a statement that must always be read (it is kept so
// that reading it does not try to record it again).
struct TokenRecord : ReadInText {
  const char* at = nullptr;
  std::string bytes;  // from `at` up to the byte that ends the statement, that byte included
  std::vector<std::string> items;
  uint32_t steps = 0;           // statement-loop steps the tokens took when read
  bool sets_text_type = false;  // a literal was expanded: それ's type mark becomes "s"
  // The verb reads the block that follows it (繰り返す, 反復, ループ): the
  // statement runs as soon as the verb is read, and `bytes` end after the
  // verb and the blanks after it.
  bool runs_at_verb = false;
  WordHint verb;  // the word the verb (the last item) names
  // The items before the verb as binding them to the verb's slots leaves
  // them (particles taken off), when that takes nothing but the items: the
  // verb is a command with one slot per item and each item takes its own
  // slot's particle. Made against `bound_template`, the verb's template then;
  // empty when they do not bind so.
  std::vector<std::string> bound;
  std::string bound_template;
  const THashNode* bound_verb = nullptr;  // the word they were bound for
};

struct TBlockText;  // a block copy (runtime/control.cpp)

// The bytes of the text a position lies in, [begin, end) with the NUL at end,
// when the caller knows them: a record is then compared with the text at once,
// without first measuring how far the text goes. `owner`, when known, is the
// text itself (see ReadInText); its bytes are the bounds when none are given.
struct TextBounds {
  const char* begin = nullptr;
  const char* end = nullptr;
  const std::shared_ptr<const std::string>* owner = nullptr;
  // The `length` bytes from p, and the byte after them, lie within the text.
  bool Hold(const char* p, size_t length) const {
    const char* b = begin;
    const char* e = end;
    if (!b && owner) {
      b = (*owner)->data();
      e = b + (*owner)->size();
    }
    const auto at = reinterpret_cast<uintptr_t>(p);
    return at >= reinterpret_cast<uintptr_t>(b) && at < reinterpret_cast<uintptr_t>(e) &&
           length <= static_cast<size_t>(e - p);
  }
};

// The text a position's bytes belong to. (Its bounds are read from it only
// when a record's bytes must be compared: a record found in the same text
// before holds without them.)
inline TextBounds BoundsOf(const TPos& pos) {
  return {nullptr, nullptr, pos.text ? &pos.text : nullptr};
}

// The line a position lies on, read from the next line mark, with the bytes
// from the position through that mark: it holds wherever those bytes are
// found again.
struct LineProbe {
  std::string bytes;
  int line = 0;
  bool Holds(const char* p, TextBounds text = {}) const {
    if (bytes.empty()) return false;
    if (text.Hold(p, bytes.size())) return SameBytes(p, bytes.data(), bytes.size());
    return strnlen(p, bytes.size()) == bytes.size() &&
           std::memcmp(p, bytes.data(), bytes.size()) == 0;
  }
};

// A block read at the same position again (a group, or the rest of a line read
// byte for byte): its bytes, and the copies made of it. A copy that nothing
// else holds any more is run again instead of copying anew, so the statements
// inside keep their positions (and their records).
struct BlockRecord : ReadInText {
  const char* at = nullptr;
  std::string bytes;  // a group from "(" to ")"; a rest of line with the byte that ends it
  bool group = false;
  bool one_line = false;
  LineProbe first_line;                             // the line of the block's start
  LineProbe last_line;                              // the line of the position after the block
  std::vector<std::shared_ptr<TBlockText>> copies;  // blocks spanning lines
  std::vector<std::shared_ptr<const std::string>> lines;  // blocks within one line
  // The probe the copy's line mark is read from (first_line within one line,
  // last_line else) holds wherever `bytes` hold: set for a block a もし
  // record keeps, whose bytes hold both.
  bool line_known = false;
  size_t last_taken = 0;  // the place of the copy last run again
};

// How an argument of a call form reads, once that cannot change (nothing in
// it is a word before "(", whose meaning changes with the word table).
enum class ArgumentReading : uint8_t {
  kUnknown,
  kAsWritten,       // pushed as written
  kNumber,          // a number literal, pushed as written
  kEvaluatedWhole,  // evaluated as one expression
};

// The arguments written in the parentheses of a call, split at their commas
// (not when they span lines: reading those sets the line number).
struct ArgumentsRecord : ReadInText {
  const char* at = nullptr;
  std::string bytes;  // from "(" to ")"
  std::vector<std::string> args;
  // The compiled form of each argument evaluated as an expression, once it was.
  mutable std::vector<std::shared_ptr<void>> compiled;
  // For each argument a label takes as written: whether it reads as one word.
  mutable std::vector<PlainWord> words;
  // For each argument written as a word before "(": what that word names.
  mutable std::vector<WordHint> callees;
  mutable std::vector<ArgumentReading> readings;
};

struct AssignmentRecord : ReadInText {
  const char* at = nullptr;
  std::string bytes;  // the statement from `at` up to its end, then the byte that ends it
  std::string target;
  std::string value;               // the value text
  std::shared_ptr<void> compiled;  // the value text's compiled form, once evaluated
  WordHint target_word;            // the word the target named when last stored
  PlainWord value_word;            // whether the value text reads as one word
  // The value text is an integer as the number format writes it (『Xは、0』):
  // stored as that number, as reading the text stores it.
  bool whole_literal = false;
  int64_t whole = 0;
};

// A member assignment 『Xの、Kは、式』 read with nothing pushed before it: the
// bytes from the statement's start to its value, the item Xの and the key K
// as the assignment received it (a key written as a literal with embedded
// expressions is expanded at every use: `key_literal` holds it). The value
// is remembered on its own (StatementCache::FindValue); the member's record
// keeps the one last found after it.
struct MemberRecord : ReadInText {
  const char* at = nullptr;
  std::string bytes;  // from `at` up to the value's first byte, that byte included
  std::string owner;  // Xの as pushed
  std::string key;
  std::string key_literal;
  uint32_t key_literal_end = 0;             // where key_literal ends, from `at`
  std::shared_ptr<void> key_compiled;       // key_literal's compiled form, once expanded
  std::shared_ptr<void> key_value;          // the key's compiled form, once evaluated
  PlainWord key_word;                       // whether the key (not a literal) reads as one word
  WordHint owner_word;                      // the word X names, when last found
  ElementsByKey by_key;                     // X's elements named by a key word holding 0 to 255
  std::shared_ptr<AssignmentRecord> value;  // the value's record, when last found after this one
};

// A もし statement read at the same position again: its bytes from where its
// condition begins through the position after its last block (and the few
// bytes after it that were looked at for a keyword), the operator form of its
// condition, where each block begins, and the line number reading it left at
// each of those points. A statement is recorded only once it was read whole
// without an error, so a block that is not chosen need not be read again: only
// the position after it matters. The chosen block is read as always.
struct BranchRecord : ReadInText {
  static constexpr int kLineKept = INT32_MIN;  // no line break read: the line number stays
  const char* at = nullptr;
  std::string bytes;  // from `at`, then the byte after the last one looked at
  std::string converted;
  mutable std::shared_ptr<void> compiled;  // the compiled form of `converted`, once calculated
  uint32_t condition_end = 0;              // where the keyword after the condition begins
  uint32_t then_at = 0, else_at = 0, end = 0;
  int condition_line = kLineKept, then_line = kLineKept, else_line = kLineKept,
      end_line = kLineKept;
  bool has_then = false, has_else = false;
  // The record of each block (then, else) once it ran from this record and
  // lay within `bytes` with what gives its line: a record that holds needs
  // neither looked for again. (Its copies are the ones this block runs from.)
  mutable std::unique_ptr<BlockRecord> then_block, else_block;
};

// Runs a もし statement from its record, the position at its condition (as
// the command does when it finds the record there).
void RunRecordedBranches(Interpreter& in, const BranchRecord& r);

// The text at p holds the bytes of a record: its bytes, then the byte after
// them (never the NUL that ends a text, which is never part of a text's bytes).
// Within known bounds they are compared at once; else the text is measured
// first, so the comparison never reads past its end.
inline bool HoldsBytes(const char* p, const std::string& bytes, TextBounds text = {}) {
  size_t length = bytes.size() - 1;
  if (text.Hold(p, length)) return SameBytes(p, bytes.data(), length + 1);
  return strnlen(p, length) == length && std::memcmp(p, bytes.data(), length + 1) == 0;
}

// The text at p holds the bytes of record `r` (see HoldsBytes): they are
// compared, and the text they were found in noted. (The bounds come as their
// fields, so a caller that finds the record at once never builds them in memory.)
template <class Record>
[[gnu::noinline]] bool HoldsRecordBytes(const Record& r, const char* p, const char* begin,
                                        const char* end,
                                        const std::shared_ptr<const std::string>* owner) {
  const TextBounds text{begin, end, owner};
  if (!HoldsBytes(p, r.bytes, text)) return false;
  if (owner && text.Hold(p, r.bytes.size() - 1)) r.read_in = *owner;
  return true;
}

// The same, at once when p lies in the text the record was last found in.
template <class Record>
[[gnu::always_inline]] inline bool HoldsRecord(const Record& r, const char* p,
                                               const TextBounds& text) {
  if (text.owner && SameText(r.read_in, *text.owner)) return true;
  return HoldsRecordBytes(r, p, text.begin, text.end, text.owner);
}

class StatementCache {
 public:
  // Statements and argument lists longer than this are read every time: a
  // record would keep a second copy of a large literal for little gain.
  static constexpr size_t kLongestRecorded = 64u << 10;

  // The record of the assignment at p when the text there still reads as it
  // did. The caller holds it while the statement runs: a statement run inside
  // it (a label called from its value) may replace the record in its slot.
  std::shared_ptr<AssignmentRecord> Find(const char* p, TextBounds text = {}) const {
    return Holding(slots_, p, text);
  }

  // The slot of each table where the record of position p is looked for first.
  static constexpr size_t kSlots = 1024;
  static size_t SlotOf(const char* p) {
    uint64_t v = reinterpret_cast<uintptr_t>(p) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(v >> 54) & (kSlots - 1);
  }

  // The token record at p when the text there still reads as it did.
  TokenRecord* FindTokens(const char* p, TextBounds text = {}) const {
    const std::unique_ptr<TokenRecord>* r = At(tokens_, p);
    if (!r || !HoldsRecord(**r, p, text)) return nullptr;
    ++tokens_found_;
    return r->get();
  }
  // How many times FindTokens found a record.
  uint64_t TokensFound() const { return tokens_found_; }
  void RememberTokens(std::unique_ptr<TokenRecord> r) {
    const char* at = r->at;
    SlotFor(tokens_, at) = std::move(r);
  }

  // The record of the group block at p when the text there still reads as it did.
  BlockRecord* FindBlock(const char* p, TextBounds text = {}) const {
    const std::unique_ptr<BlockRecord>* r = At(blocks_, p);
    return r && HoldsRecord(**r, p, text) ? r->get() : nullptr;
  }
  BlockRecord& RememberBlock(const char* at, std::string bytes) {
    auto r = std::make_unique<BlockRecord>();
    r->at = at;
    r->bytes = std::move(bytes);
    std::unique_ptr<BlockRecord>& slot = SlotFor(blocks_, at);
    slot = std::move(r);
    return *slot;
  }

  // The arguments of the call whose "(" is at p, when the text there still
  // reads as it did. The caller holds it while the arguments run: a call among
  // them may replace the record in its slot.
  std::shared_ptr<const ArgumentsRecord> FindArguments(const char* p) const {
    return Holding(arguments_, p);
  }
  void RememberArguments(const char* at, const char* end, std::vector<std::string> args) {
    auto r = std::make_shared<ArgumentsRecord>();
    r->at = at;
    r->bytes.assign(at, end);
    r->args = std::move(args);
    r->compiled.resize(r->args.size());
    r->words.resize(r->args.size());
    r->callees.resize(r->args.size());
    r->readings.resize(r->args.size());
    SlotFor(arguments_, at) = std::move(r);
  }

  // The value text of a member assignment (『Xの、Mは、式』) read at p, when the
  // text there still reads as it did; the record's target is unused.
  std::shared_ptr<AssignmentRecord> FindValue(const char* p, TextBounds text = {}) const {
    return Holding(values_, p, text);
  }
  std::shared_ptr<AssignmentRecord> RememberValue(const char* at, const char* end,
                                                  std::string value) {
    auto r = std::make_shared<AssignmentRecord>();
    r->at = at;
    r->bytes.assign(at, end + 1);
    r->value = std::move(value);
    SlotFor(values_, at) = r;
    return r;
  }

  // The member assignment whose statement starts at p, when the text there
  // still reads as it did. The caller holds it while the statement runs.
  std::shared_ptr<MemberRecord> FindMember(const char* p, TextBounds text = {}) const {
    return Holding(members_, p, text);
  }
  void RememberMember(std::shared_ptr<MemberRecord> r) {
    const char* at = r->at;
    SlotFor(members_, at) = std::move(r);
  }

  // The record of the もし statement whose condition begins at p, when the
  // text there still reads as it did. The caller holds it while the statement
  // runs: a statement run from its condition may replace the record.
  std::shared_ptr<const BranchRecord> FindBranch(const char* p, TextBounds text = {}) const {
    std::shared_ptr<const BranchRecord> r = Holding(branches_, p, text);
    if (r) ++branches_found_;
    return r;
  }
  // How many times FindBranch found a record.
  uint64_t BranchesFound() const { return branches_found_; }
  void RememberBranch(std::shared_ptr<const BranchRecord> r) {
    const char* at = r->at;
    SlotFor(branches_, at) = std::move(r);
  }

  // Remembers the assignment [at, end) (*end ends it) with its target and value text.
  void Remember(const char* at, const char* end, std::string target, std::string value) {
    auto r = std::make_shared<AssignmentRecord>();
    r->at = at;
    r->bytes.assign(at, end + 1);
    r->target = std::move(target);
    r->value = std::move(value);
    r->whole_literal = WrittenWhole(r->value, r->whole);
    SlotFor(slots_, at) = std::move(r);
  }

 private:
  // Each table has two ways: a position's record is in its slot or in the
  // slot paired with it (the one whose number differs in the lowest bit), so
  // two statements whose positions share a slot do not push each other out at
  // every pass. The newest record takes the slot itself.
  // The entry of the record for position p, or null. (The paired slot is
  // filled only once the slot itself is.)
  template <class Ptr>
  static const Ptr* At(const std::vector<Ptr>& table, const char* p) {
    const size_t slot = SlotOf(p);
    const Ptr& first = table[slot];
    if (!first) return nullptr;
    if (first->at == p) return &first;
    const Ptr& second = table[slot ^ 1];
    return second && second->at == p ? &second : nullptr;
  }
  // The record for p whose bytes the text there still holds, or null.
  template <class Record>
  static std::shared_ptr<Record> Holding(const std::vector<std::shared_ptr<Record>>& table,
                                         const char* p, TextBounds text = {}) {
    const std::shared_ptr<Record>* r = At(table, p);
    return r && HoldsRecord(**r, p, text) ? *r : nullptr;
  }
  // The entry to hold a new record for `at`: the slot itself, its record (of
  // another position) moved to the paired slot, whose record goes.
  template <class Ptr>
  static Ptr& SlotFor(std::vector<Ptr>& table, const char* at) {
    const size_t slot = SlotOf(at);
    Ptr& first = table[slot];
    if (first && first->at != at) table[slot ^ 1] = std::move(first);
    return first;
  }

  std::vector<std::shared_ptr<AssignmentRecord>> slots_{kSlots};
  std::vector<std::shared_ptr<AssignmentRecord>> values_{kSlots};
  std::vector<std::shared_ptr<MemberRecord>> members_{kSlots};
  std::vector<std::unique_ptr<TokenRecord>> tokens_{kSlots};
  std::vector<std::unique_ptr<BlockRecord>> blocks_{kSlots};
  std::vector<std::shared_ptr<ArgumentsRecord>> arguments_{kSlots};
  std::vector<std::shared_ptr<const BranchRecord>> branches_{kSlots};
  mutable uint64_t branches_found_ = 0;
  mutable uint64_t tokens_found_ = 0;
};

}  // namespace sorane
