#include "vqresource.h"

#include <memory>
#include <new>

#include "vqreposuri.h"

bool getComponentsFromFilesystemPath(const VqbString& path, VqbString& directory, VqbString& baseName,
                                     VqbString& lastPart) {
    try {
        const std::string& text = path.str();
        if (text.empty()) return false;
        // Documents written on either kind of system reach us, so both separators count.
        size_t cut = text.find_last_of("/\\");
        size_t start = cut == std::string::npos ? 0 : cut + 1;
        std::string last = text.substr(start);
        size_t dot = last.rfind('.');
        directory = VqbString(text.substr(0, start));
        baseName = VqbString(dot == std::string::npos || dot == 0 ? last : last.substr(0, dot));
        lastPart = VqbString(std::move(last));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool generateURIReferenceFromFilename(const VqbString& fileName, VqbString& reference) {
    try {
        std::unique_ptr<VqReposURI> uri(getReposURIFromString(fileName));
        if (uri) {
            uri->toString(reference);
            return true;
        }
    } catch (const std::bad_alloc&) {
    }
    reference = VqbString("");
    return false;
}
