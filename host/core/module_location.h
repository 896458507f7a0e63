// Where a front end finds the chat module when no path is given: beside its
// own executable, then where an installation puts it (..\lib on Windows,
// ../lib/... on Linux).
#pragma once

#include <string>
#include <vector>

namespace parlino::host {

// The folders looked in, in order, each ending in the system's separator.
std::vector<std::string> moduleFolders();

// The module file in the first of moduleFolders() that holds one; empty
// when none does, with the paths looked at in `looked` ("A nor at B").
std::string findModuleFile(std::string &looked);

} // namespace parlino::host
