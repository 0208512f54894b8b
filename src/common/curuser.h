// The operating-system user running the host: the created-by, modified-by, lock and event user
// of everything the library stamps itself.
#ifndef CURUSER_H
#define CURUSER_H

#include "vqbstring.h"

// Read anew on each call; at most 255 bytes. Never empty: "unknown" when the platform has no name.
VqbString getCurrentUserName();

#endif
