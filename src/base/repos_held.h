// Ownership of objects that end through their own release() rather than delete: cursors,
// statements, connections, lexers, specs and the typed objects a class makes for itself.
#ifndef REPOS_HELD_H
#define REPOS_HELD_H

#include <memory>

struct ReposReleaser {
    template <class T>
    void operator()(T* object) const {
        if (object) object->release();
    }
};

// A std::unique_ptr whose deleter calls release(): the object ends on every exit path.
template <class T>
using ReposHeld = std::unique_ptr<T, ReposReleaser>;

// Takes ownership of an object just handed out (null stays null).
template <class T>
ReposHeld<T> reposHold(T* object) {
    return ReposHeld<T>(object);
}

#endif
