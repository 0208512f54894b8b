// Where the library finds what was installed with it.
#ifndef REPOS_INSTALL_H
#define REPOS_INSTALL_H

#include <string>

// The table-set folder that came with this library: PREFIX/etc/reposcreate of the installation the
// loaded library file belongs to, the build tree's etc/reposcreate for a library run from its build
// folder, and the configured install prefix's when the code is linked into a program of its own.
std::string reposInstalledTableSetFolder();

#endif
