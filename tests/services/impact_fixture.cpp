#include "impact_fixture.h"

RepositoryImpl* openRepositoryOn(Place place, const std::string& file, const std::string& prefix) {
    RepositoryImpl* repository = new RepositoryImpl();
    VqbString error;
    bool opened = place == Place::Direct
                      ? repository->open(false, nullptr, REPOS_ACCESS_SQLITE_FILE, VqbString(file), "", "", nullptr, error)
                      : repository->open(false, nullptr, REPOS_ACCESS_CONNECTOR,
                                         VqbString(place == Place::File ? "VQXTYPE=SQLITE;FILE=" + file : pgConnection()),
                                         VqbString(prefix), "", nullptr, error);
    if (opened) return repository;
    repository->release();
    ADD_FAILURE() << "opening the repository: " << error.str();
    return nullptr;
}

void Impact::SetUp() {
    repo = std::make_unique<TestRepository>(GetParam());
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NE(repo->connection(), nullptr);
    repository.reset(openRepositoryOn(GetParam(), repo->file(), repo->prefix()));
    ASSERT_NE(repository, nullptr);
    impact.reset(static_cast<RepositoryImpactAnalysisImpl*>(repository->createRepositoryImpactAnalysis()));
    ASSERT_NE(impact, nullptr);
}

ReposHeld<VqResource> Impact::add(const char* type, const std::string& identity, const std::string& name) {
    ReposHeld<VqResource> resource(
        impact->findOrAddResource(VqbString(name.empty() ? identity : name), VqbString(type), VqbString(identity)));
    EXPECT_NE(resource, nullptr) << identity << ": " << impact->getErrorMessage().str();
    return resource;
}

ReposHeld<VqResourceList> Impact::listOf(std::initializer_list<const VqResource*> resources) {
    ReposHeld<VqResourceList> list(impact->createResourceList());
    for (const VqResource* r : resources) {
        list->addNew();
        list->setCurrentFrom(0, r);
    }
    return list;
}

std::set<std::string> Impact::links(const VqResource* owner) {
    std::set<std::string> names;
    for (const auto& row : repo->rows("SELECT r.RCS_NM FROM {IMPDEP} d JOIN {IMPRCS} r ON r.RCS_ID = d.RCS_ID "
                                      "WHERE d.RCS_USED = ?",
                                      {VqbDatavar(owner->getId().asInt())}))
        names.insert(row[0]);
    return names;
}

std::vector<std::string> Impact::names(VqResourceList* list) {
    std::vector<std::string> out;
    if (!list) return {"<null list>"};
    while (list->next()) out.push_back(list->getCurrent()->getType().str() + ":" + list->getCurrent()->getName().str());
    list->release();
    return out;
}

REPOS_EVERY_PLACE(Impact);
