// The frame's schema questions that the administration asks of a connection it holds.
#include "rda_impl.h"

namespace {

const char* const kSource = "rda_impl";

}  // namespace

int RDA_BaseImpl::missingCatalogIndexes(ReposDataAccess* connection, bool ncoa) {
    auto* frame = dynamic_cast<RDA_BaseImpl*>(connection);
    if (!frame) return 0;
    try {
        RDA_LockScope scope(frame, kSource, __LINE__, "REPO", frame->instanceId_);
        return frame->missingCatalogIndexes_INT(ncoa);
    } catch (...) {
        return frame->caught(__LINE__, -1);
    }
}
