// The registry: a tree of keys under a few root keys, each key holding named
// values of three types (string, 32-bit DWORD, binary). Scripts address keys as
// a root number (0 HKEY_CLASSES_ROOT, 1 HKEY_CURRENT_USER, 2 HKEY_LOCAL_MACHINE,
// 3 HKEY_USERS, 4 HKEY_PERFORMANCE_DATA, 5 HKEY_CURRENT_CONFIG, 6 HKEY_DYN_DATA)
// and a path of key names separated by "\".
//
// The tree is kept in one SQLite file, by default
// $XDG_CONFIG_HOME/sorane/registry.sqlite3 ($HOME/.config when the variable is
// unset), so settings survive the run and are shared by every script of the
// user. Names are stored as their CP932 bytes and compare without regard to the
// case of Latin letters (half- and full-width). Every change is one SQLite
// transaction: a crash or a failure leaves the store as it was before the
// change. A file at the store's path that is not a registry store (not SQLite,
// or another program's database) is refused and never modified.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace sorane {

enum class RegType { kString = 1, kBinary = 3, kDword = 4 };

struct RegValue {
  RegType type = RegType::kString;
  std::string data;  // string bytes, binary bytes, or 4 bytes little-endian
};

constexpr int kRegistryRoots = 7;

class RegistryStore {
 public:
  RegistryStore() = default;
  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  // The store's path (UTF-8) from the environment.
  static std::string DefaultPath();

  // Opens (creating the folder and an empty store when missing). False with
  // Error() set when the file cannot be used; nothing is written to it then.
  bool Open(const std::string& os_path);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }
  // The reason of the last failure (English, from SQLite, or our own text).
  const std::string& Error() const { return error_; }

  // Creates the key and any missing parents (one transaction).
  bool CreateKey(int root, std::string_view path);
  bool KeyExists(int root, std::string_view path);
  // Names of the key's subkeys in folded order; empty for a missing key.
  std::vector<std::string> SubKeys(int root, std::string_view path);

  // nullopt when the key or the value is missing (or the store fails: Error()).
  std::optional<RegValue> GetValue(int root, std::string_view path, std::string_view name);
  // Creates the key when missing; replaces a value of the same name.
  bool SetValue(int root, std::string_view path, std::string_view name, const RegValue& value);
  // False when the key or the value is missing.
  bool DeleteValue(int root, std::string_view path, std::string_view name);
  // Deletes the key with all its subkeys and values; false when missing or
  // when the path names a root key.
  bool DeleteKey(int root, std::string_view path);

  // The components of a key path ("\"-separated, Shift-JIS aware; empty
  // components dropped).
  static std::vector<std::string> SplitPath(std::string_view path);
  // The folded form of a name used for comparisons.
  static std::string FoldName(std::string_view name);

 private:
  // The id of the key, or -1; with `create`, missing keys are added.
  long long FindKey(int root, std::string_view path, bool create);
  bool Exec(const char* sql);
  bool Begin();
  bool Commit();
  void Rollback();
  bool Fail(const char* what);

  sqlite3* db_ = nullptr;
  std::string error_;
};

}  // namespace sorane
