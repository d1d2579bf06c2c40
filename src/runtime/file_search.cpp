// The search order of relative file names for reading commands (ResolveFileName).
#include "platform/files.h"
#include "platform/special_folders.h"
#include "runtime/interpreter.h"

namespace sorane {

std::string ResolveFileName(Interpreter& in, std::string_view name) {
  if (name.empty() || IsAbsoluteName(name) || name.find(':') != std::string_view::npos)
    return std::string(name);
  static const SpecialFolders special = GetSpecialFolders();
  const std::string folders[] = {CurrentFolder(),
                                 in.S.HostPath,
                                 in.S.RuntimePath,
                                 FromOsPath(special.RuntimeData),
                                 FromOsPath(special.System),
                                 ExtractFolder(in.S.SourceName.Text())};
  return FindFileInFolders(name, folders);
}

}  // namespace sorane
