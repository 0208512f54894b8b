#include <gtest/gtest.h>

#include <climits>

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
