// An upgrade killed at any point is completed by running it again, with no row lost or doubled.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "upgrade_fixture.h"

using InterruptedUpgradeTest = UpgradeTest;

TEST_P(InterruptedUpgradeTest, KilledUpgradeIsCompletedByTheNextOne) {
    // How much a whole upgrade shows to its callback: the kill points are drawn from that.
    build(Legacy::Both);
    long total = 0;
    {
        KillingCallback counter;
        admin()->setStatusCallback(&counter);
        EXPECT_EQ(upgradeToCurrent(), 2);
        admin()->setStatusCallback(nullptr);
        total = counter.count;
    }
    ASSERT_GT(total, 100);

    std::mt19937 random(std::random_device{}());
    const int rounds = 10;
    int killed = 0;
    for (int round = 0; round < rounds; ++round) {
        // Most rounds stop at a drawn statement; the others at a drawn moment, which can fall
        // inside a statement or a step that shows nothing.
        const bool atStatement = round % 3 != 2;
        const long killAt = std::uniform_int_distribution<long>(1, total)(random);
        const useconds_t delay = std::uniform_int_distribution<useconds_t>(0, 400000)(random);
        SCOPED_TRACE(atStatement ? "killed at statement " + std::to_string(killAt)
                                 : "killed after " + std::to_string(delay) + " us");
        TearDown();
        SetUp();
        build(Legacy::Both);
        const Snapshot before = snapshot(Legacy::Both);
        // No connection of the parent's may be shared with the child.
        dropDb();

        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            KillingCallback killer(atStatement ? killAt : 0);
            admin()->setStatusCallback(&killer);
            for (int i = 0; i < 2; ++i) {
                RepositoryImpl* repository = tryOpen();
                if (!repository) _exit(2);
                bool ok = repository->upgrade();
                repository->release();
                if (!ok) _exit(3);
            }
            _exit(0);
        }
        if (!atStatement) {
            usleep(delay);
            kill(child, SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        // A child that ended by itself must have finished cleanly.
        killed += atStatement && WIFSIGNALED(status);
        if (!WIFSIGNALED(status)) {
            ASSERT_EQ(WEXITSTATUS(status), 0);
        }

        ASSERT_GE(upgradeToCurrent(), 0);
        verifyUpgraded(Legacy::Both, before);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(killed, 0) << "no callback stopped its round";
}

// Forking a process that holds server connections is not safe; the files show the same steps.
INSTANTIATE_TEST_SUITE_P(Places, InterruptedUpgradeTest, ::testing::Values(Place::Direct, Place::File), placeName);
