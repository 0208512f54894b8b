#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "recording_event_manager.h"
#include "vqrepevent.h"

TEST(ReposResEvents, NoManagerUnlessRegisteredAndScopesRestoreThePreviousOne) {
    ASSERT_EQ(getRepositoryEventManager(), nullptr);
    RecordingEventManager outer, inner;
    {
        RepositoryEventManagerScope a(&outer);
        {
            RepositoryEventManagerScope b(&inner);
            EXPECT_EQ(getRepositoryEventManager(), &inner);
        }
        EXPECT_EQ(getRepositoryEventManager(), &outer);
    }
    EXPECT_EQ(getRepositoryEventManager(), nullptr);
    EXPECT_EQ(setRepositoryEventManager(&outer), nullptr);
    EXPECT_EQ(setRepositoryEventManager(nullptr), &outer);

    for (int bad : {-1, 5, INT_MIN, INT_MAX}) EXPECT_STREQ(getRepositoryEventChangeTypeString(bad), "Unknown");
}

TEST(ReposResEvents, RecorderKeepsEveryCallWithItsArgumentsInOrder) {
    ScopedRecordingEventManager recorder;
    RepositoryEventManager* m = getRepositoryEventManager();
    ASSERT_EQ(m, &recorder);
    m->postEvent("R1", REPOS_CHANGE_CREATE, "Rule", 5, "u-5");
    m->postRenameEvent("R1", "DataExploration", 7, "u-7", "Old name", "New name");
    m->postUriEvent("R1", "repos:///F/Rule1?type=Rule", REPOS_CHANGE_DELETE, "object|||5|u-5");
    m->postEvent("R1", REPOS_CHANGE_UNLOCK, "Task", -1, "");
    EXPECT_EQ(recorder.lines(), (std::vector<std::string>{
                                    "postEvent(R1, 0, Rule, 5, u-5)",
                                    "postRenameEvent(R1, DataExploration, 7, u-7, Old name, New name)",
                                    "postUriEvent(R1, repos:///F/Rule1?type=Rule, 1, object|||5|u-5)",
                                    "postEvent(R1, 4, Task, -1, )",
                                }));
}

TEST(ReposResEvents, RecorderTakesConcurrentCallsWithoutLosingAny) {
    ScopedRecordingEventManager recorder;
    const int threads = 8, perThread = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([t] {
            for (int i = 0; i < perThread; ++i)
                getRepositoryEventManager()->postEvent(std::to_string(t), REPOS_CHANGE_MODIFY, "Rule", i, "");
        });
    for (auto& w : workers) w.join();
    auto events = recorder.events();
    ASSERT_EQ(events.size(), static_cast<size_t>(threads * perThread));
    // Each thread's own calls keep their order.
    std::vector<int> next(threads, 0);
    for (const auto& e : events) EXPECT_EQ(e.objectId, next[std::stoi(e.repositoryId)]++);
}
