// The monitor data access over a repository connection, by concern: tasks, sources, task rules,
// rule events, custom metrics and execution properties (monitor_rdaimpl); report groups,
// dimensions, their weightings and thresholds (monitor_rdaimpl_groups).
#ifndef MONITOR_RDAIMPL_H
#define MONITOR_RDAIMPL_H

#include <cstddef>
#include <cstdint>

#include "base_rdaimpl.h"
#include "repos_monitor_rda.h"

class MonitorRDAImpl : public BaseRDAImpl, public MonitorRepositoryDataAccess {
public:
    explicit MonitorRDAImpl(ReposDataAccess* connection);

    bool addJob(const VqbString& description, const VqbString& code, const VqbString& user, int folderId,
                const VqbString& comment, const VqbString& display, uint32_t* id) override;
    bool addSource(const VqbString& name, const VqbString& uuid, const VqbString& user, int folderId,
                   uint32_t* id) override;
    bool addRuleEvent(uint32_t jobId, uint32_t ruleId, uint32_t sequence, const VqbString& code,
                      const VqbString& data) override;
    bool addJobRule(uint32_t jobId, uint32_t ruleId) override;
    bool addCustomMetric(const VqbString& name, const VqbString& preExpression, const VqbString& expression,
                         const VqbString& postExpression, uint32_t* id) override;
    bool addExecPropertyType(const VqbString& name, const VqbString& value) override;
    bool addReportGroup(const VqbString& name, const VqbString& description, int intervalCount, int intervalLength,
                        int thresholdId, const VqbDate& endDate, const VqbString& user, const VqbString& uuid,
                        int folderId, uint32_t* id) override;
    bool addDimension(const VqbString& name, const VqbString& description, const VqbString& user, const VqbString& uuid,
                      int folderId, uint32_t* id) override;
    bool addDimensionGroup(uint32_t dimensionId, uint32_t groupId, uint32_t thresholdId,
                           const VqbReal& weight) override;
    bool addThreshold(const VqbString& name, const VqbString& description, const VqbString& user, const VqbString& uuid,
                      int folderId, int bandCount, const VqbString* bandNames, const double* bandStarts,
                      const double* bandEnds, const int* bandColors, uint32_t* id) override;
    bool addJobRuleMetric(uint32_t jobId, uint32_t ruleId, int dimensionId, int thresholdId,
                          const VqbReal& weight) override;
    ReposDataAccessCursor* listJobRules(uint32_t jobId) override;
    ReposDataAccessCursor* listJobs() override;
    ReposDataAccessCursor* getJob(uint32_t jobId) override;
    ReposDataAccessCursor* findJob(int id, const VqbString& description, const VqbString& code) override;
    ReposDataAccessCursor* listRuleEvents(uint32_t jobId) override;
    ReposDataAccessCursor* getCustomMetricByName(const VqbString& name) override;
    ReposDataAccessCursor* listSources() override;
    ReposDataAccessCursor* getSource(uint32_t sourceId) override;
    ReposDataAccessCursor* findSource(int id, const VqbString& name, const VqbString& uuid) override;
    ReposDataAccessCursor* listExecPropertyTypes() override;
    ReposDataAccessCursor* listExecProperties(uint32_t executionId, uint32_t ruleId) override;
    ReposDataAccessCursor* listReportGroups(uint32_t groupId, const VqbString& name) override;
    ReposDataAccessCursor* listReportGroupsByThreshold(uint32_t thresholdId) override;
    ReposDataAccessCursor* listReportGroupHistory(uint32_t groupId, const VqbDate& from, const VqbDate& to) override;
    ReposDataAccessCursor* listDimensions(uint32_t dimensionId, const VqbString& name) override;
    ReposDataAccessCursor* listDimensionGroups(uint32_t dimensionId, uint32_t groupId) override;
    ReposDataAccessCursor* listThresholds(uint32_t thresholdId, const VqbString& name) override;
    ReposDataAccessCursor* findThreshold(int id, const VqbString& name, const VqbString& uuid) override;
    ReposDataAccessCursor* findDimension(int id, const VqbString& name, const VqbString& uuid) override;
    bool clearJobRules(uint32_t jobId) override;
    bool deleteJob(uint32_t jobId) override;
    bool updateJob(uint32_t jobId, const VqbString& description, const VqbString& code, const VqbString& createdUser,
                   double createdDate, const VqbString& modifiedUser, double modifiedDate, int folderId,
                   const VqbString& comment, const VqbString& display) override;
    bool deleteSource(uint32_t sourceId) override;
    bool reservedReturnsTrue() override;
    bool updateSource(uint32_t sourceId, const VqbString& name, const VqbString& user, int folderId) override;
    bool setExecProperty(uint32_t executionId, uint32_t ruleId, const VqbString& name, const VqbString& value,
                         bool unchecked) override;
    bool deleteExecProperty(uint32_t executionId, uint32_t ruleId, const VqbString& name) override;
    bool deleteExecPropertyType(const VqbString& name, const VqbString& value) override;
    bool updateReportGroup(uint32_t groupId, const VqbString& name, const VqbString& description,
                           uint32_t intervalCount, uint32_t intervalLength, uint32_t thresholdId,
                           const VqbDate& endDate, const VqbString& user, uint32_t folderId) override;
    bool deleteReportGroup(uint32_t groupId) override;
    bool updateDimension(uint32_t dimensionId, const VqbString& name, const VqbString& description,
                         const VqbString& user, uint32_t folderId) override;
    bool deleteDimension(uint32_t dimensionId) override;
    bool updateDimensionGroup(uint32_t dimensionId, uint32_t groupId, uint32_t thresholdId,
                              const VqbReal& weight) override;
    bool deleteDimensionGroups(uint32_t groupId, uint32_t dimensionId) override;
    bool updateThreshold(uint32_t thresholdId, const VqbString& name, const VqbString& description,
                         const VqbString& user, uint32_t folderId, int bandCount, const VqbString* bandNames,
                         const double* bandStarts, const double* bandEnds, const int* bandColors) override;
    bool deleteThreshold(uint32_t thresholdId) override;
    bool updateJobRuleMetric(uint32_t jobId, uint32_t ruleId, uint32_t dimensionId, uint32_t thresholdId,
                             const VqbReal& weight) override;

protected:
    ~MonitorRDAImpl() override;

private:
    static constexpr const char* kSource = "monitor_rdaimpl";
    static constexpr uint32_t kNone = 0xFFFFFFFFu;
    static constexpr int kBands = 7;

    static VqbDatavar now();
    // The condition "<column>=?" when the id is given.
    static Sql& whereGiven(Sql& sql, const char* column, uint32_t id);

    // A new object whose key text (code, uuid or name) must be free: the check and the insert
    // (the new id its first value) in one exclusive transaction; refused with the catalogue
    // message. newId is set once committed.
    bool addUnique(int line, const char* table, const char* keyColumn, const VqbString& key, unsigned refusal,
                   Sql insert, uint32_t& newId);
    // Inserts unless the check finds the row, which is then kept with a warning.
    bool addUnlessPresent(int line, Sql check, Sql insert);
    // The seven bands of a threshold, from the arrays below bandCount and NULL after; false (with a
    // refusal) when bands are asked for without their arrays.
    bool bandValues(int line, int bandCount, const VqbString* names, const double* starts, const double* ends,
                    const int* colors, VqbDatavar (&values)[kBands * 4]);
    // Whole rows of a report group, dimension or threshold table, by id and name when given.
    ReposDataAccessCursor* listNamed(int line, const char* table, const char* idColumn, uint32_t id,
                                     const char* nameColumn, const VqbString& name);
    // The row's deletion, or nothing for the defaults (1) and "none".
    bool deleteUnlessDefault(int line, const DeleteStep* steps, size_t count, uint32_t id);
};

#endif
