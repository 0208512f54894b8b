// No exception leaves the library through an interface. An entry point that can throw (an
// allocation failure while building a text, a container growing) catches at its outermost level
// and answers its failure value with a text and a level-5 entry:
//
//   bool SomeImpl::operation(...) try {
//       ...
//   } catch (...) {
//       return caught(__LINE__, false);   // ReposGuard: the class keeps the text, answers false
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

// The handler of a class family's entry points. Owner keeps the text its own way in
// keepCaught(int line, const char* text) (last error, level-5 entry); whatever that throws in
// turn is swallowed, as a handler must not throw. Call caught only inside a catch block.
template <class Owner>
class ReposGuard {
public:
    void caught(int line) noexcept {
        const char* text = reposCaughtText();
        try {
            static_cast<Owner*>(this)->keepCaught(line, text);
        } catch (...) {
            // Not even the text could be kept; the failure value still tells the caller.
        }
    }
    // The operation's failure value, once the text is kept.
    template <class T>
    T caught(int line, T failure) noexcept {
        caught(line);
        return failure;
    }
};

// An exception stopped an exported C entry point, which has no object to keep the text: it is
// logged at level 5 on the library's root logger. Call only inside a catch block.
void reposLogCaught(const char* sourceFile, int line) noexcept;

#endif
