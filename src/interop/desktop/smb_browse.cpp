#include "interop/desktop/smb_browse.h"

#include <libsmbclient.h>

#include "platform/lazy_library.h"

namespace sorane {

namespace {

// The libsmbclient functions used, set when the library is first opened.
// clang-format off
#define SORANE_SMB_FUNCTIONS(F)                                                        \
  F(smbc_new_context) F(smbc_init_context) F(smbc_free_context) F(smbc_setTimeout)     \
  F(smbc_setDebug) F(smbc_setFunctionAuthData) F(smbc_getFunctionOpendir)              \
  F(smbc_getFunctionReaddir) F(smbc_getFunctionClosedir)
// clang-format on
SORANE_SMB_FUNCTIONS(SORANE_LAZY_DEFINE)
SORANE_LAZY_LOADER(LoadSmb, SORANE_SMB_FUNCTIONS, "libsmbclient.so.0", "libsmbclient")

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
  if (!LoadSmb() || (list != SmbList::kWorkgroups && place.empty())) return names;
  SMBCCTX* ctx = smbc_new_context();
  if (!ctx) return names;
  smbc_setDebug(ctx, 0);
  smbc_setTimeout(ctx, kTimeoutMs);
  smbc_setFunctionAuthData(ctx, NoCredentials);
  if (!smbc_init_context(ctx)) {
    smbc_free_context(ctx, 0);
    return names;
  }
  std::string url = list == SmbList::kWorkgroups ? "smb://" : "smb://" + UrlPart(place) + "/";
  unsigned wanted = list == SmbList::kWorkgroups  ? SMBC_WORKGROUP
                    : list == SmbList::kComputers ? SMBC_SERVER
                                                  : SMBC_FILE_SHARE;
  if (SMBCFILE* dir = smbc_getFunctionOpendir(ctx)(ctx, url.c_str())) {
    while (struct smbc_dirent* entry = smbc_getFunctionReaddir(ctx)(ctx, dir)) {
      std::string name(entry->name);
      if (entry->smbc_type != wanted || name.empty()) continue;
      if (list == SmbList::kShares && name.back() == '$') continue;
      names.push_back(std::move(name));
    }
    smbc_getFunctionClosedir(ctx)(ctx, dir);
  }
  smbc_free_context(ctx, 1);
  return names;
}

}  // namespace sorane
