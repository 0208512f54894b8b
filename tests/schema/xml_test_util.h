// Helpers shared by the XML suites.
#ifndef XML_TEST_UTIL_H
#define XML_TEST_UTIL_H

#include <cstdlib>
#include <string>

#include "test_support.h"

inline std::string xmlDataFile(const std::string& name) {
    const char* root = std::getenv("REPOS_SOURCE_DIR");
    return std::string(root ? root : ".") + "/tests/schema/data/" + name;
}

#endif
