#include "prof_rdaimpl.h"

#include "reposlog.h"

namespace {

const char* const kSource = "prof_rdaimpl";

}  // namespace

ProfileRDAImpl::ProfileRDAImpl(ReposDataAccess* connection) : BaseRDAImpl(connection) {}

ProfileRDAImpl::~ProfileRDAImpl() = default;

ProfileRDAImpl::Failure ProfileRDAImpl::pending(const char* operation, int line) {
    reposLog(getLogger(), 5, kSource, line, "Profile operation %s is not available yet", operation);
    return Failure();
}
