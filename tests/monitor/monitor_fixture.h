// The monitor data-access tests run once in each place a repository lives, against raw rows.
#ifndef MONITOR_FIXTURE_H
#define MONITOR_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "monitor_rdaimpl.h"
#include "recording_event_manager.h"
#include "repos_fixture.h"

class MonitorTest : public ::testing::TestWithParam<Place> {
protected:
    void SetUp() override {
        repo = std::make_unique<TestRepository>(GetParam());
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(repo->connection());
        rda.reset(new MonitorRDAImpl(repo->connection()));
    }
    // Sorted, whole reals written as integers (places print "1.0" or "1").
    Rows rows(const std::string& sql, std::initializer_list<VqbDatavar> values = {}) {
        Rows all = repo->rows(sql, values);
        for (auto& row : all)
            for (std::string& value : row)
                if (value.size() > 2 && value.compare(value.size() - 2, 2, ".0") == 0) value.resize(value.size() - 2);
        return sorted(all);
    }
    // Every row a delete or update could touch, to tell "changed nothing" apart.
    Rows everything() {
        Rows all;
        for (const char* table : {"THRHLD", "DIMENS", "RPTGRP", "JBRUME", "DIMGRP", "EXEC", "MJOB", "RULEVT"}) {
            for (auto& row : rows("SELECT * FROM {" + std::string(table) + "}")) {
                row.insert(row.begin(), table);
                all.push_back(row);
            }
        }
        return all;
    }

    std::unique_ptr<TestRepository> repo;
    ReposHeld<MonitorRDAImpl> rda;
};

#endif
