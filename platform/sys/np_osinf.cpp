#include "np_osinf.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

void np_osinf_user(char* buf, size_t size) {
    if (!buf || size == 0) return;
    const char* name = nullptr;
    struct passwd pw {};
    struct passwd* res = nullptr;
    char scratch[1024];
    if (getpwuid_r(geteuid(), &pw, scratch, sizeof scratch, &res) == 0 && res && res->pw_name && *res->pw_name)
        name = res->pw_name;
    if (!name) name = std::getenv("USER");
    if (!name || !*name) name = std::getenv("LOGNAME");
    if (!name || !*name) name = "unknown";
    size_t n = std::strlen(name);
    if (n >= size) n = size - 1;
    std::memcpy(buf, name, n);
    buf[n] = '\0';
}
