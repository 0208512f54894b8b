// The one log function of the library: hands everything unchanged to the logger.
#ifndef REPOS_LOG_H
#define REPOS_LOG_H

#include "vqlog.h"

void reposLog(VqLogger* logger, int level, const char* sourceFile, int line, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

// Logger names.
#define REPOS_LOGGER_ROOT "VQ.Repos.ReposAdmin"
#define REPOS_LOGGER_ADMIN "VQ.Repos.ReposAdmin.RepositoryAdminImpl"
#define REPOS_LOGGER_REPOSITORY "VQ.Repos.ReposAdmin.RepositoryImpl"
#define REPOS_LOGGER_TABLES "VQ.Repos.ReposAdmin.Tables"
#define REPOS_LOGGER_XML "VQ.Repos.ReposAdmin.XML"
#define REPOS_LOGGER_BASERDA "VQ.Repos.ReposAdmin.BaseRDA"
#define REPOS_LOGGER_RDA "VQ.Repos.ReposAdmin.RDA"
#define REPOS_LOGGER_LOCKTRACE "VQ.Repos.ReposAdmin.RDA.LockTrace"
#define REPOS_LOGGER_FOLDERMGR "VQ.Repos.ReposAdmin.FolderMgr"
#define REPOS_LOGGER_EVENTQUEUE "VQ.Repos.ReposAdmin.ReposEventQueue"
#define REPOS_LOGGER_LINEAGE "VQ.Repos.ReposAdmin.Lineage"
#define REPOS_LOGGER_IMPEXP "VQ.Repos.ReposAdmin.ImportExport"

#endif
