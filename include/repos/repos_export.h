// Marks the functions the library hands to hosts; everything else stays hidden.
#ifndef REPOS_EXPORT_H
#define REPOS_EXPORT_H

#define REPOS_EXPORT __attribute__((visibility("default")))

#endif
