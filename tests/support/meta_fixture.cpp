#include "meta_fixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <new>

#include "rda_factory.h"

const TestObjectTable kTestObjectTables[8] = {
    {"DataExploration", "MPRJ", "PRJ_ID", "PRJ_NM", "PRJ_UUID", "PRJ_COMM"},
    {"ProfileJob", "JSETUP", "SU_ID", "SU_NAME", "SU_UUID", "SU_DESC"},
    {"Rule", "RULE", "RU_ID", "RU_DESC", "RU_UUID", "RU_COMM"},
    {"Task", "MJOB", "JB_ID", "JB_DESC", "JB_CODE", "JB_COMM"},
    {"Source", "EXSRC", "ES_ID", "ES_NAME", "ES_UUID", "ES_DESC"},
    {"Dimension", "DIMENS", "DIM_ID", "DIM_NAME", "UUID", "DIM_DESC"},
    {"Dashboard", "RPTGRP", "GRP_ID", "GRP_NAME", "UUID", "GRP_DESC"},
    {"Threshold", "THRHLD", "THR_ID", "THR_NAME", "UUID", "THR_DESC"},
};

MetadataRepositoryDataAccess* newMetadataAccess(ReposDataAccess* connection) {
    return new (std::nothrow) MetadataRDAImpl(connection);
}

MetaRepository::MetaRepository() : meta(newMetadataAccess(repo.connection())) {}

void MetaRepository::addObject(const std::string& type, int id, const std::string& name, const VqbDatavar& folder,
                               const std::string& uuid) {
    for (const TestObjectTable& t : kTestObjectTables) {
        if (type != t.type) continue;
        std::string sql = std::string("INSERT INTO ") + t.table + " (" + t.id + ", " + t.name + ", " + t.uuid + ", " +
                          t.desc + ", FLDR_ID) VALUES (?, ?, ?, ?, ?)";
        repo.exec(sql, {VqbDatavar(id), VqbDatavar(name), VqbDatavar(uuid.empty() ? type + "-" + name : uuid),
                        VqbDatavar("about " + name), folder});
        return;
    }
    ADD_FAILURE() << "no table for type " << type;
}

int MetaRepository::folder(int parent, const std::string& name) {
    int id = -1;
    EXPECT_TRUE(meta->addFolder(parent, VqbString(name), &id)) << name;
    return id;
}


pid_t forkWithAccess(const std::string& db, const std::function<void(MetadataRepositoryDataAccess*)>& body) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    VqbString error;
    ReposDataAccess* c = createReposDataAccess(REPOS_BACKEND_SQLITE_OPEN, db, "", nullptr, error);
    if (!c) _exit(2);
    MetadataRepositoryDataAccess* meta = newMetadataAccess(c);
    body(meta);
    meta->release();
    c->release();
    _exit(0);
}

