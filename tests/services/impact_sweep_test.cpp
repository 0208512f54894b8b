// Analysers and sweepers of the impact store on one repository at once: an owner that another host
// swept away (a new owner has no links yet) gets no links, so nothing stays "in use" for good.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "impact_fixture.h"
#include "test_rows.h"

namespace {

class ImpactSweep : public Impact {
protected:
    // Links whose owner or used resource has no row.
    int dangling() {
        return std::stoi(repo->rows("SELECT COUNT(*) FROM {IMPDEP} d WHERE NOT EXISTS (SELECT 1 FROM {IMPRCS} r "
                                    "WHERE r.RCS_ID = d.RCS_USED) OR NOT EXISTS (SELECT 1 FROM {IMPRCS} r WHERE "
                                    "r.RCS_ID = d.RCS_ID)")[0][0]);
    }
    // Another host of the same repository.
    ReposHeld<RepositoryImpactAnalysis> otherHost(ReposHeld<RepositoryImpl>& holder) {
        holder.reset(openRepositoryOn(GetParam(), repo->file(), repo->prefix()));
        return ReposHeld<RepositoryImpactAnalysis>(holder ? holder->createRepositoryImpactAnalysis() : nullptr);
    }
};

TEST_P(ImpactSweep, AnOwnerSweptByAnotherHostGetsNoLinks) {
    auto owner = add("Task", "swept"), used = add("File", "used");
    auto list = listOf({used.get()});
    ReposHeld<RepositoryImpl> second;
    ReposHeld<RepositoryImpactAnalysis> sweeper = otherHost(second);
    ASSERT_NE(sweeper, nullptr);
    ASSERT_TRUE(sweeper->removeUnusedResources());
    ASSERT_EQ(repo->count("IMPRCS"), 0);

    EXPECT_FALSE(impact->addResourceDependencies(owner.get(), list.get()));
    EXPECT_FALSE(impact->getErrorMessage().isEmpty());
    EXPECT_EQ(repo->count("IMPRCS") + repo->count("IMPDEP"), 0) << "written for a missing owner";
    // An owner that is there still gets its links.
    auto kept = add("Task", "kept");
    EXPECT_TRUE(impact->addResourceDependencies(kept.get(), list.get())) << impact->getErrorMessage().str();
    EXPECT_EQ(links(kept.get()), std::set<std::string>({"used"}));
    EXPECT_EQ(dangling(), 0);
}

TEST_P(ImpactSweep, AnalysersAndSweepersTogetherLeaveNoDanglingLink) {
    constexpr int kAnalysers = 4, kSweepers = 2;
    constexpr auto kFor = std::chrono::seconds(20);
    // Each host's connection opens after this: a file's writers are served in no particular order,
    // so the wait allowed covers the others' turns.
    BusyTimeout patient(60000);
    std::atomic<bool> stop{false};
    std::atomic<int> linked{0}, failedOtherwise{0};
    std::vector<std::thread> hosts;
    for (int a = 0; a < kAnalysers; ++a)
        hosts.emplace_back([&, a] {
            ReposHeld<RepositoryImpl> holder;
            ReposHeld<RepositoryImpactAnalysis> host = otherHost(holder);
            for (int n = 0; host && !stop; ++n) {
                const std::string tag = std::to_string(a) + "-" + std::to_string(n);
                ReposHeld<VqResource> owner(host->findOrAddResource(VqbString("o" + tag), "Task", VqbString("o" + tag)));
                ReposHeld<VqResource> used(host->findOrAddResource(VqbString("u" + tag), "File", VqbString("u" + tag)));
                if (!owner || !used) continue;  // swept between its add and its read
                ReposHeld<VqResourceList> list(host->createResourceList());
                list->addNew();
                list->setCurrentFrom(0, used.get());
                if (host->addResourceDependencies(owner.get(), list.get()))
                    ++linked;
                else if (host->getErrorMessage().str().find("no longer in the repository") == std::string::npos &&
                         failedOtherwise++ == 0)
                    ADD_FAILURE() << host->getErrorMessage().str();
            }
        });
    for (int s = 0; s < kSweepers; ++s)
        hosts.emplace_back([&] {
            ReposHeld<RepositoryImpl> holder;
            ReposHeld<RepositoryImpactAnalysis> host = otherHost(holder);
            // A pause between sweeps leaves the analysers room to link some owners at all.
            while (host && !stop) {
                host->removeUnusedResources();
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
    std::this_thread::sleep_for(kFor);
    stop = true;
    for (std::thread& host : hosts) host.join();
    EXPECT_GT(linked.load(), 0);
    EXPECT_EQ(failedOtherwise.load(), 0);
    EXPECT_EQ(dangling(), 0);
}

INSTANTIATE_TEST_SUITE_P(FileAndPostgres, ImpactSweep, ::testing::Values(Place::Direct, Place::Postgres), placeName);

}  // namespace
