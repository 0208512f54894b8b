// No exception leaves the library through an interface. An entry point that can throw (an
// allocation failure while building a text, a container growing) catches at its outermost level
// and answers its failure value with a text and a level-5 entry:
//
//   bool SomeImpl::operation(...) try {
//       ...
//   } catch (...) {
//       return caught(__LINE__, false);   // the class's own recording of reposCaughtText()
//   }
#ifndef REPOS_GUARD_H
#define REPOS_GUARD_H

#include <exception>
#include <new>

// The text of the exception being handled; call it only inside a catch block. Never throws.
inline const char* reposCaughtText() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "an unexpected internal error";
    }
}

// An exception stopped an exported C entry point, which has no object to keep the text: it is
// logged at level 5 on the library's root logger. Call only inside a catch block.
void reposLogCaught(const char* sourceFile, int line) noexcept;

#endif
