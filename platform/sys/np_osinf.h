#ifndef NP_OSINF_H
#define NP_OSINF_H

#include <cstddef>

// The operating-system user name into buf (zero-terminated, cut to size-1 bytes): the
// password database entry of the effective user, else $USER or $LOGNAME, else "unknown".
void np_osinf_user(char* buf, size_t size);

#endif
