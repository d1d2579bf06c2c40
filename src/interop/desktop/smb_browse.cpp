#include "interop/desktop/smb_browse.h"

#include <dlfcn.h>
#include <libsmbclient.h>

#include <type_traits>

namespace sorane {

namespace {

struct SmbApi {
  decltype(&::smbc_new_context) new_context = nullptr;
  decltype(&::smbc_init_context) init_context = nullptr;
  decltype(&::smbc_free_context) free_context = nullptr;
  decltype(&::smbc_setTimeout) set_timeout = nullptr;
  decltype(&::smbc_setDebug) set_debug = nullptr;
  decltype(&::smbc_setFunctionAuthData) set_auth = nullptr;
  decltype(&::smbc_getFunctionOpendir) opendir = nullptr;
  decltype(&::smbc_getFunctionReaddir) readdir = nullptr;
  decltype(&::smbc_getFunctionClosedir) closedir = nullptr;
};

const SmbApi* LoadSmb() {
  static const SmbApi* api = []() -> const SmbApi* {
    void* lib = dlopen("libsmbclient.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (!lib) return nullptr;
    static SmbApi a;
    auto load = [&](auto& f, const char* name) {
      f = reinterpret_cast<std::remove_reference_t<decltype(f)>>(dlsym(lib, name));
      return f != nullptr;
    };
    bool all =
        load(a.new_context, "smbc_new_context") && load(a.init_context, "smbc_init_context") &&
        load(a.free_context, "smbc_free_context") && load(a.set_timeout, "smbc_setTimeout") &&
        load(a.set_debug, "smbc_setDebug") && load(a.set_auth, "smbc_setFunctionAuthData") &&
        load(a.opendir, "smbc_getFunctionOpendir") && load(a.readdir, "smbc_getFunctionReaddir") &&
        load(a.closedir, "smbc_getFunctionClosedir");
    return all ? &a : nullptr;
  }();
  return api;
}

// Browsing is anonymous: no user name, no password.
void NoCredentials(const char*, const char*, char*, int, char*, int, char*, int) {}

std::string UrlPart(const std::string& name) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_') {
      out += char(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

// How long one answer of the network may take.
constexpr int kTimeoutMs = 3000;

}  // namespace

std::vector<std::string> BrowseSmb(SmbList list, const std::string& place) {
  std::vector<std::string> names;
  const SmbApi* smb = LoadSmb();
  if (!smb || (list != SmbList::kWorkgroups && place.empty())) return names;
  SMBCCTX* ctx = smb->new_context();
  if (!ctx) return names;
  smb->set_debug(ctx, 0);
  smb->set_timeout(ctx, kTimeoutMs);
  smb->set_auth(ctx, NoCredentials);
  if (!smb->init_context(ctx)) {
    smb->free_context(ctx, 0);
    return names;
  }
  std::string url = list == SmbList::kWorkgroups ? "smb://" : "smb://" + UrlPart(place) + "/";
  unsigned wanted = list == SmbList::kWorkgroups  ? SMBC_WORKGROUP
                    : list == SmbList::kComputers ? SMBC_SERVER
                                                  : SMBC_FILE_SHARE;
  if (SMBCFILE* dir = smb->opendir(ctx)(ctx, url.c_str())) {
    while (struct smbc_dirent* entry = smb->readdir(ctx)(ctx, dir)) {
      std::string name(entry->name);
      if (entry->smbc_type != wanted || name.empty()) continue;
      if (list == SmbList::kShares && name.back() == '$') continue;
      names.push_back(std::move(name));
    }
    smb->closedir(ctx)(ctx, dir);
  }
  smb->free_context(ctx, 1);
  return names;
}

}  // namespace sorane
