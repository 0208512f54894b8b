#include "curuser.h"

#include "np_osinf.h"

VqbString getCurrentUserName() {
    // Cleared first: a platform that finds no name may leave the buffer as it was.
    char buffer[256] = {};
    np_osinf_user(buffer, sizeof buffer);
    if (buffer[0] == '\0') return VqbString("unknown");
    return VqbString(buffer);
}
