// The network neighbourhood through Samba's client library (libsmbclient,
// loaded with dlopen at first use): workgroups, the computers of a workgroup
// and the shared folders of a computer, as the network's SMB browsing offers
// them. Everything is empty where there is no library or no browsing.
#pragma once

#include <string>
#include <vector>

namespace sorane {

enum class SmbList { kWorkgroups, kComputers, kShares };

// Names (UTF-8) of the kind `list` asks for, under `place`: nothing for the
// workgroups, a workgroup for its computers, a computer for its shares. Shares
// are the disk shares other than the hidden ones (a name ending in "$").
std::vector<std::string> BrowseSmb(SmbList list, const std::string& place);

}  // namespace sorane
