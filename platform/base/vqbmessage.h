// Message catalogue: user-facing texts looked up by module name and number.
#ifndef VQB_MESSAGE_H
#define VQB_MESSAGE_H

#include <cstdarg>

#include "vqbstring.h"

// The catalogue text of a message, unformatted; null when the catalogue has none.
const char* vqbMessageText(const char* module, unsigned number);

// The catalogue text formatted with the arguments (the project's formatter, %S = C text).
// An unknown number gives "Message <number> of module <module>" so no failure goes silent.
VqbString vqb_get_message(const char* module, unsigned number, ...);
VqbString vqb_get_messageV(const char* module, unsigned number, va_list args);

// Module names used by the library.
#define VQB_MOD_REPOS "Repository Library"
#define VQB_MOD_MONITOR "Monitor Repository"
#define VQB_MOD_MONADMIN "Monitor Admin"
#define VQB_MOD_PROFILE "Profile Engine"

// Short form for the library's own module.
VqbString reposMessage(unsigned number, ...);

#endif
