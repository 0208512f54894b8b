// Operations of the administrator that need an open repository.
#include "repadmimpl.h"

bool RepositoryAdminImpl::createRepository(const VqbString&, const VqbString&) {
    return notAvailable(__LINE__, "Creating a repository");
}

bool RepositoryAdminImpl::createFileRepository(const VqbString&) {
    return notAvailable(__LINE__, "Creating a file repository");
}

bool RepositoryAdminImpl::deleteRepository(const VqbString&, const VqbString&) {
    return notAvailable(__LINE__, "Deleting a repository");
}

bool RepositoryAdminImpl::deleteFile(const VqbString&) { return notAvailable(__LINE__, "Deleting a file"); }

Repository* RepositoryAdminImpl::openFileRepository(const VqbString&, bool) {
    notAvailable(__LINE__, "Opening a file repository");
    return nullptr;
}

Repository* RepositoryAdminImpl::openRepository(const VqbString&, bool, const char*) {
    notAvailable(__LINE__, "Opening a repository");
    return nullptr;
}

Repository* RepositoryAdminImpl::connectRepository(const VqbString&, const VqbString&, bool, const char*) {
    notAvailable(__LINE__, "Connecting a repository");
    return nullptr;
}

bool RepositoryAdminImpl::lookupRepository(const VqbString&, VqbString&, VqbString&, bool&) {
    return notAvailable(__LINE__, "Looking up a repository");
}

bool RepositoryAdminImpl::createRepositoryWithDDL(const VqbString&, const VqbString&, const VqbString&) {
    return notAvailable(__LINE__, "Creating a repository with a DDL script");
}

bool RepositoryAdminImpl::copyRepository(Repository*, Repository*) {
    return notAvailable(__LINE__, "Copying a repository");
}

void RepositoryAdminImpl::probeRepository(Repository*, ReposListEntry& entry) {
    entry.description = "Failed to connect";
    entry.versionText = "n/a";
}

bool RepositoryAdminImpl::checkConnectorRepository(const VqbString& connection, const VqbString& tablePrefix) {
    return connectRepository(connection, tablePrefix, false, nullptr) != nullptr;
}
