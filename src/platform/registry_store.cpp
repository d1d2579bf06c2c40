// The registry store on SQLite (see registry_store.h).
//
// Tables:
//   sorane_registry(item, value)   marks the file as a registry store ("format" = "1")
//   reg_keys(id, parent, name, fold)          root keys have ids 1..7 and parent 0
//   reg_values(key_id, name, fold, type, data)
// `fold` is the comparison form of `name`; both are CP932 bytes (BLOBs).
#include "platform/registry_store.h"

#include <sqlite3.h>

#include <cstdlib>

#include "platform/file_ops.h"
#include "platform/lazy_library.h"
#include "text/sjis.h"

namespace sorane {

namespace {

// SQLite is opened with the first store, so a run that never reads or writes
// the registry never maps it: the functions called here, through pointers of
// their own names (platform/lazy_library.h), set once LoadSqlite() is true.
// clang-format off
#define SORANE_SQLITE_FUNCTIONS(F)                                                           \
  F(sqlite3_bind_blob64) F(sqlite3_bind_int64) F(sqlite3_busy_timeout) F(sqlite3_changes)   \
  F(sqlite3_close_v2) F(sqlite3_column_blob) F(sqlite3_column_bytes) F(sqlite3_column_int64) \
  F(sqlite3_errmsg) F(sqlite3_exec) F(sqlite3_extended_result_codes) F(sqlite3_finalize)    \
  F(sqlite3_get_autocommit) F(sqlite3_last_insert_rowid) F(sqlite3_open_v2)                 \
  F(sqlite3_prepare_v2) F(sqlite3_step)
// clang-format on
SORANE_SQLITE_FUNCTIONS(SORANE_LAZY_DEFINE)
SORANE_LAZY_LOADER(LoadSqlite, SORANE_SQLITE_FUNCTIONS, "libsqlite3.so.0", "libsqlite3-0")

const char* const kRootNames[kRegistryRoots] = {
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA",
};

const char kSchema[] =
    "CREATE TABLE sorane_registry(item TEXT PRIMARY KEY, value TEXT);"
    "INSERT INTO sorane_registry VALUES('format', '1');"
    "CREATE TABLE reg_keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL,"
    " name BLOB NOT NULL, fold BLOB NOT NULL, UNIQUE(parent, fold));"
    "CREATE TABLE reg_values(key_id INTEGER NOT NULL, name BLOB NOT NULL, fold BLOB NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key_id, fold));";

// The ids of a key and all keys below it.
const char kSubtree[] =
    "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL"
    " SELECT k.id FROM reg_keys k JOIN sub ON k.parent = sub.id) ";

// A prepared statement, finalized on scope exit.
class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql) {
    ok_ = sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) == SQLITE_OK;
  }
  ~Stmt() { sqlite3_finalize(st_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  bool ok() const { return ok_; }
  Stmt& Bind(int i, long long v) {
    ok_ = ok_ && sqlite3_bind_int64(st_, i, v) == SQLITE_OK;
    return *this;
  }
  Stmt& Bind(int i, std::string_view bytes) {
    ok_ = ok_ &&
          sqlite3_bind_blob64(st_, i, bytes.data(), bytes.size(), SQLITE_TRANSIENT) == SQLITE_OK;
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return ok_ ? sqlite3_step(st_) : SQLITE_ERROR; }
  long long Int(int col) { return sqlite3_column_int64(st_, col); }
  std::string Bytes(int col) {
    const void* p = sqlite3_column_blob(st_, col);
    int n = sqlite3_column_bytes(st_, col);
    return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
  }

 private:
  sqlite3_stmt* st_ = nullptr;
  bool ok_ = false;
};

bool ValidRoot(int root) {
  return root >= 0 && root < kRegistryRoots;
}

}  // namespace

RegistryStore::~RegistryStore() {
  Close();
}

std::string RegistryStore::DefaultPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && xdg[0] == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.config";
  }
  return base + "/sorane/registry.sqlite3";
}

bool RegistryStore::Fail(const char* what) {
  error_ = what;
  if (db_) {
    error_ += ": ";
    error_ += sqlite3_errmsg(db_);
  }
  return false;
}

bool RegistryStore::Open(const std::string& os_path) {
  Close();
  error_.clear();
  if (!LoadSqlite()) {
    error_ = "cannot load libsqlite3";
    return false;
  }
  size_t slash = os_path.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeOsFolders(os_path.substr(0, slash))) {
    error_ = "cannot create the folder of " + os_path;
    return false;
  }
  if (sqlite3_open_v2(os_path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    Fail("cannot open the store");
    Close();
    return false;
  }
  sqlite3_busy_timeout(db_, 5000);
  sqlite3_extended_result_codes(db_, 1);
  // Reading the schema is the first access to the file: a file that is not an
  // SQLite database fails here, before anything is written.
  bool has_tables = false, is_store = false;
  {
    Stmt st(db_, "SELECT name FROM sqlite_master WHERE type = 'table'");
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) {
      has_tables = true;
      if (st.Bytes(0) == "sorane_registry") is_store = true;
    }
    if (rc != SQLITE_DONE) {
      Fail("not a registry store");
      Close();
      return false;
    }
  }
  if (has_tables && !is_store) {
    error_ = "the file is another program's database, not a registry store";
    Close();
    return false;
  }
  if (!has_tables) {
    if (!Begin()) {
      Close();
      return false;
    }
    bool ok = Exec(kSchema);
    for (int r = 0; ok && r < kRegistryRoots; ++r) {
      Stmt ins(db_, "INSERT INTO reg_keys(id, parent, name, fold) VALUES(?1, 0, ?2, ?2)");
      ok = ins.Bind(1, r + 1).Bind(2, kRootNames[r]).Step() == SQLITE_DONE;
    }
    if (!ok || !Commit()) {
      Fail("cannot create the store");
      Rollback();
      Close();
      return false;
    }
  }
  return true;
}

void RegistryStore::Close() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

bool RegistryStore::Exec(const char* sql) {
  return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool RegistryStore::Begin() {
  return Exec("BEGIN IMMEDIATE") || Fail("cannot start a transaction");
}

bool RegistryStore::Commit() {
  return Exec("COMMIT") || Fail("cannot commit");
}

void RegistryStore::Rollback() {
  if (db_ && !sqlite3_get_autocommit(db_)) Exec("ROLLBACK");
}

std::vector<std::string> RegistryStore::SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 0; i < path.size();) {
    size_t len = CharLen(path, i);
    if (len == 1 && path[i] == '\\') {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part.append(path.substr(i, len));
    }
    i += len;
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

std::string RegistryStore::FoldName(std::string_view name) {
  std::string out(name);
  for (size_t i = 0; i < out.size();) {
    size_t len = CharLen(out, i);
    unsigned char c = static_cast<unsigned char>(out[i]);
    if (len == 1 && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
    if (len == 2 && c == 0x82) {
      unsigned char t = static_cast<unsigned char>(out[i + 1]);
      if (t >= 0x81 && t <= 0x9A) out[i + 1] = static_cast<char>(t - 0x21);
    }
    i += len;
  }
  return out;
}

long long RegistryStore::FindKey(int root, std::string_view path, bool create) {
  if (!db_ || !ValidRoot(root)) return -1;
  long long id = root + 1;
  for (const std::string& part : SplitPath(path)) {
    const std::string fold = FoldName(part);
    Stmt find(db_, "SELECT id FROM reg_keys WHERE parent = ?1 AND fold = ?2");
    int rc = find.Bind(1, id).Bind(2, fold).Step();
    if (rc == SQLITE_ROW) {
      id = find.Int(0);
      continue;
    }
    if (rc != SQLITE_DONE) return Fail("cannot read a key"), -1;
    if (!create) return -1;
    Stmt ins(db_, "INSERT INTO reg_keys(parent, name, fold) VALUES(?1, ?2, ?3)");
    if (ins.Bind(1, id).Bind(2, part).Bind(3, fold).Step() != SQLITE_DONE)
      return Fail("cannot create a key"), -1;
    id = sqlite3_last_insert_rowid(db_);
  }
  return id;
}

bool RegistryStore::CreateKey(int root, std::string_view path) {
  if (!db_ || !ValidRoot(root)) return false;
  if (!Begin()) return false;
  if (FindKey(root, path, true) < 0 || !Commit()) {
    Rollback();
    return false;
  }
  return true;
}

bool RegistryStore::KeyExists(int root, std::string_view path) {
  return FindKey(root, path, false) >= 0;
}

std::vector<std::string> RegistryStore::SubKeys(int root, std::string_view path) {
  std::vector<std::string> names;
  long long id = FindKey(root, path, false);
  if (id < 0) return names;
  Stmt st(db_, "SELECT name FROM reg_keys WHERE parent = ?1 ORDER BY fold");
  st.Bind(1, id);
  while (st.Step() == SQLITE_ROW) names.push_back(st.Bytes(0));
  return names;
}

std::optional<RegValue> RegistryStore::GetValue(int root, std::string_view path,
                                                std::string_view name) {
  long long id = FindKey(root, path, false);
  if (id < 0) return std::nullopt;
  Stmt st(db_, "SELECT type, data FROM reg_values WHERE key_id = ?1 AND fold = ?2");
  int rc = st.Bind(1, id).Bind(2, FoldName(name)).Step();
  if (rc != SQLITE_ROW) {
    if (rc != SQLITE_DONE) Fail("cannot read a value");
    return std::nullopt;
  }
  RegValue v;
  v.type = static_cast<RegType>(st.Int(0));
  v.data = st.Bytes(1);
  return v;
}

bool RegistryStore::SetValue(int root, std::string_view path, std::string_view name,
                             const RegValue& value) {
  if (!db_ || !ValidRoot(root) || !Begin()) return false;
  long long id = FindKey(root, path, true);
  bool ok = id >= 0;
  if (ok) {
    Stmt st(db_,
            "INSERT OR REPLACE INTO reg_values(key_id, name, fold, type, data)"
            " VALUES(?1, ?2, ?3, ?4, ?5)");
    ok = st.Bind(1, id)
             .Bind(2, name)
             .Bind(3, FoldName(name))
             .Bind(4, static_cast<long long>(value.type))
             .Bind(5, value.data)
             .Step() == SQLITE_DONE;
    if (!ok) Fail("cannot write a value");
  }
  if (!ok || !Commit()) {
    Rollback();
    return false;
  }
  return true;
}

bool RegistryStore::DeleteValue(int root, std::string_view path, std::string_view name) {
  if (!db_ || !ValidRoot(root) || !Begin()) return false;
  long long id = FindKey(root, path, false);
  bool ok = id >= 0;
  if (ok) {
    Stmt st(db_, "DELETE FROM reg_values WHERE key_id = ?1 AND fold = ?2");
    ok = st.Bind(1, id).Bind(2, FoldName(name)).Step() == SQLITE_DONE && sqlite3_changes(db_) > 0;
  }
  if (!ok || !Commit()) {
    Rollback();
    return false;
  }
  return true;
}

bool RegistryStore::DeleteKey(int root, std::string_view path) {
  if (!db_ || !ValidRoot(root) || SplitPath(path).empty() || !Begin()) return false;
  long long id = FindKey(root, path, false);
  bool ok = id >= 0;
  if (ok) {
    std::string values = std::string(kSubtree) + "DELETE FROM reg_values WHERE key_id IN sub";
    std::string keys = std::string(kSubtree) + "DELETE FROM reg_keys WHERE id IN sub";
    Stmt dv(db_, values.c_str());
    ok = dv.Bind(1, id).Step() == SQLITE_DONE;
    if (ok) {
      Stmt dk(db_, keys.c_str());
      ok = dk.Bind(1, id).Step() == SQLITE_DONE;
    }
    if (!ok) Fail("cannot delete a key");
  }
  if (!ok || !Commit()) {
    Rollback();
    return false;
  }
  return true;
}

}  // namespace sorane
