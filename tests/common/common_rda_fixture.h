// The common data-access tests run once in each place a repository lives.
#ifndef COMMON_RDA_FIXTURE_H
#define COMMON_RDA_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>

#include "common_rdaimpl.h"
#include "recording_event_manager.h"
#include "repos_fixture.h"

class CommonRdaTest : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        repo = another();
        if (IsSkipped()) return;
        ASSERT_TRUE(repo && repo->connection());
        rda.reset(new CommonRDAImpl(repo->connection()));
    }
    // A fresh repository, for tests that spoil one.
    std::unique_ptr<TestRepository> another() { return std::make_unique<TestRepository>(GetParam()); }

    std::unique_ptr<TestRepository> repo;
    ReposHeld<CommonRDAImpl> rda;
};

#endif
