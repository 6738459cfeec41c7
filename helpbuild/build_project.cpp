#include "helpbuild/build_project.h"

#include "platform/core/paths.h"

namespace build {

std::string ResolveFolder(const std::string& dir, bool emptyIsProgramDir) {
    if (dir.empty()) return emptyIsProgramDir ? plat::ProgramDir() : std::string();
    if (plat::IsAbsolutePath(dir)) return dir;
    return plat::ProgramDir() + "\\" + dir;
}

}  // namespace build
