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

bool ProfileRDAImpl::WriterLevel::open(ReposDataAccess* connection) {
    // A begin that failed counted no level (the connection keeps its depth), so none is ended.
    if (!open_) open_ = connection && connection->beginTransaction(false);
    return open_;
}

bool ProfileRDAImpl::WriterLevel::end(ReposDataAccess* connection, bool commit) {
    if (!open_) return true;
    open_ = false;
    return connection && connection->endTransaction(commit);
}

void ProfileRDAImpl::release() {
    for (Writer* writer : {&frequency_, &pattern_, &matchCode_}) {
        if (!writer->open) continue;
        reposLog(getLogger(), 4, kSource, __LINE__,
                 "A distribution writer was still open at release; its pending rows are dropped");
        closeWriter(*writer, false);
    }
    ruleLogStatement_.reset();
    if (ruleLogLevel_.isOpen()) {
        reposLog(getLogger(), 4, kSource, __LINE__,
                 "The business-rule log was still open at release; its rows are dropped");
        ruleLogLevel_.end(getConnection(), false);
    }
    BaseRDAImpl::release();
}
