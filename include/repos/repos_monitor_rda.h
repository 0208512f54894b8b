// Typed data access of business-rule monitoring: monitor tasks with their rules and rule events,
// execution sources, custom-metric lookups, execution properties, and the reporting side (report
// groups, dimensions, their weighting inside a group, thresholds with seven bands).
//
// Ids are unsigned row ids unless declared int; 0xFFFFFFFF means none, or no filter, in an
// optional id or number. A text filter is present when it is not empty; a field of a partial
// update is given when its text, date or real is not null. Row 1 of report groups, dimensions
// and thresholds is the built-in default that references fall back to; it is never deleted.
// Out ids may be null and are written only once the change is committed. Cursors belong to the
// caller, who releases them; their columns are read by position (catalogue order for whole rows).
// Failures give false or null; getErrorMessage then gives the connection's general error text and
// the log holds the detail.
#ifndef REPOS_MONITOR_RDA_H
#define REPOS_MONITOR_RDA_H

#include <cstdint>

#include "repos_typed.h"
#include "vqbdatavar.h"

class MonitorRepositoryDataAccess : public virtual ReposTypedDataAccess {
protected:
    ~MonitorRepositoryDataAccess() override = default;

public:
    // False, nothing written, when a task with the code (a source with the uuid) exists.
    virtual bool addJob(const VqbString& description, const VqbString& code, const VqbString& user, int folderId,
                        const VqbString& comment, const VqbString& display, uint32_t* id) = 0;
    virtual bool addSource(const VqbString& name, const VqbString& uuid, const VqbString& user, int folderId,
                           uint32_t* id) = 0;
    virtual bool addRuleEvent(uint32_t jobId, uint32_t ruleId, uint32_t sequence, const VqbString& code,
                              const VqbString& data) = 0;
    // The rule with the default dimension and threshold and weight 1.
    virtual bool addJobRule(uint32_t jobId, uint32_t ruleId) = 0;
    // A bare custom metric (no uuid, no comment, no check of the name).
    virtual bool addCustomMetric(const VqbString& name, const VqbString& preExpression, const VqbString& expression,
                                 const VqbString& postExpression, uint32_t* id) = 0;
    // True without a second row when the pair is allowed already.
    virtual bool addExecPropertyType(const VqbString& name, const VqbString& value) = 0;

    // False, nothing written, when the name is taken.
    virtual bool addReportGroup(const VqbString& name, const VqbString& description, int intervalCount,
                                int intervalLength, int thresholdId, const VqbDate& endDate, const VqbString& user,
                                const VqbString& uuid, int folderId, uint32_t* id) = 0;
    virtual bool addDimension(const VqbString& name, const VqbString& description, const VqbString& user,
                              const VqbString& uuid, int folderId, uint32_t* id) = 0;
    // True without writing when the pair exists.
    virtual bool addDimensionGroup(uint32_t dimensionId, uint32_t groupId, uint32_t thresholdId,
                                   const VqbReal& weight) = 0;
    // Bands 0 to bandCount-1 (at most seven) from the arrays, the others empty.
    virtual bool addThreshold(const VqbString& name, const VqbString& description, const VqbString& user,
                              const VqbString& uuid, int folderId, int bandCount, const VqbString* bandNames,
                              const double* bandStarts, const double* bandEnds, const int* bandColors,
                              uint32_t* id) = 0;
    // A dimension or threshold below 2 is the default 1.
    virtual bool addJobRuleMetric(uint32_t jobId, uint32_t ruleId, int dimensionId, int thresholdId,
                                  const VqbReal& weight) = 0;

    // JBRUME rows of the task: JB_ID, RU_ID, DIM_ID, THR_ID, WGHT.
    virtual ReposDataAccessCursor* listJobRules(uint32_t jobId) = 0;
    // MJOB rows: JB_ID, JB_DESC, JB_CODE, JB_CRDAT, JB_EDDAT, JB_CRUSR, JB_EDUSR, FLDR_ID, JB_COMM, JB_DISP.
    virtual ReposDataAccessCursor* listJobs() = 0;
    virtual ReposDataAccessCursor* getJob(uint32_t jobId) = 0;
    // By id when id >= 1, else by code, else by description; null when none is given.
    virtual ReposDataAccessCursor* findJob(int id, const VqbString& description, const VqbString& code) = 0;
    // RULEVT rows: JB_ID, RU_ID, EV_SEQ, EV_CODE, EV_DATA.
    virtual ReposDataAccessCursor* listRuleEvents(uint32_t jobId) = 0;
    // CUSTM rows of that name (names need not be unique).
    virtual ReposDataAccessCursor* getCustomMetricByName(const VqbString& name) = 0;
    // EXSRC rows: ES_ID, ES_DESC, ES_NAME, ES_UUID, ES_CRDAT, ES_EDDAT, ES_CRUSR, ES_EDUSR, FLDR_ID.
    virtual ReposDataAccessCursor* listSources() = 0;
    virtual ReposDataAccessCursor* getSource(uint32_t sourceId) = 0;
    // By id when id >= 1, else by uuid, else by name; null when none is given.
    virtual ReposDataAccessCursor* findSource(int id, const VqbString& name, const VqbString& uuid) = 0;
    // EXPRTP rows: PR_NAME, PR_VALUE.
    virtual ReposDataAccessCursor* listExecPropertyTypes() = 0;
    // EXPROP rows: EX_ID, PR_NAME, PR_VALUE, RU_ID.
    virtual ReposDataAccessCursor* listExecProperties(uint32_t executionId, uint32_t ruleId) = 0;

    // Whole RPTGRP, DIMENS, DIMGRP and THRHLD rows, filtered by the arguments given.
    virtual ReposDataAccessCursor* listReportGroups(uint32_t groupId, const VqbString& name) = 0;
    virtual ReposDataAccessCursor* listReportGroupsByThreshold(uint32_t thresholdId) = 0;
    // The group's executions strictly between the dates (those without a row count left out),
    // newest first, one row per rule of the execution's task: EX_NROWS, TR_CNT (NULL when the rule
    // did not trigger), DIM_ID, WGHT, THR_ID, RU_ID, RU_DESC, RU_COMM, RU_DISP, JB_ID, JB_DESC,
    // JB_COMM, JB_DISP, JB_CODE, GRP_ID, EX_DATE.
    virtual ReposDataAccessCursor* listReportGroupHistory(uint32_t groupId, const VqbDate& from, const VqbDate& to) = 0;
    virtual ReposDataAccessCursor* listDimensions(uint32_t dimensionId, const VqbString& name) = 0;
    virtual ReposDataAccessCursor* listDimensionGroups(uint32_t dimensionId, uint32_t groupId) = 0;
    virtual ReposDataAccessCursor* listThresholds(uint32_t thresholdId, const VqbString& name) = 0;
    virtual ReposDataAccessCursor* findThreshold(int id, const VqbString& name, const VqbString& uuid) = 0;
    virtual ReposDataAccessCursor* findDimension(int id, const VqbString& name, const VqbString& uuid) = 0;

    // Removes the task's rules and rule events; the task stays.
    virtual bool clearJobRules(uint32_t jobId) = 0;
    // Refused while the task has executions.
    virtual bool deleteJob(uint32_t jobId) = 0;
    // Writes every column from the arguments.
    virtual bool updateJob(uint32_t jobId, const VqbString& description, const VqbString& code,
                           const VqbString& createdUser, double createdDate, const VqbString& modifiedUser,
                           double modifiedDate, int folderId, const VqbString& comment, const VqbString& display) = 0;
    // Announced before the delete; executions naming the source stay.
    virtual bool deleteSource(uint32_t sourceId) = 0;
    virtual bool reservedReturnsTrue() = 0;
    // A folder id below 1 keeps the folder.
    virtual bool updateSource(uint32_t sourceId, const VqbString& name, const VqbString& user, int folderId) = 0;

    // Unless unchecked, the pair must be an allowed one.
    virtual bool setExecProperty(uint32_t executionId, uint32_t ruleId, const VqbString& name, const VqbString& value,
                                 bool unchecked) = 0;
    virtual bool deleteExecProperty(uint32_t executionId, uint32_t ruleId, const VqbString& name) = 0;
    // Properties already set with the pair stay.
    virtual bool deleteExecPropertyType(const VqbString& name, const VqbString& value) = 0;

    // Partial updates: only the given fields change, with the modification date. True without a
    // change when no field is given (the editing user alone is none).
    virtual bool updateReportGroup(uint32_t groupId, const VqbString& name, const VqbString& description,
                                   uint32_t intervalCount, uint32_t intervalLength, uint32_t thresholdId,
                                   const VqbDate& endDate, const VqbString& user, uint32_t folderId) = 0;
    // References to the group move to group 1; its dimension weightings stay.
    virtual bool deleteReportGroup(uint32_t groupId) = 0;
    virtual bool updateDimension(uint32_t dimensionId, const VqbString& name, const VqbString& description,
                                 const VqbString& user, uint32_t folderId) = 0;
    // Task rules move to dimension 1; the dimension's weightings go.
    virtual bool deleteDimension(uint32_t dimensionId) = 0;
    virtual bool updateDimensionGroup(uint32_t dimensionId, uint32_t groupId, uint32_t thresholdId,
                                      const VqbReal& weight) = 0;
    // Both ids 0xFFFFFFFF: every weighting.
    virtual bool deleteDimensionGroups(uint32_t groupId, uint32_t dimensionId) = 0;
    // The seven bands are always rewritten: a bandCount of 0 clears them.
    virtual bool updateThreshold(uint32_t thresholdId, const VqbString& name, const VqbString& description,
                                 const VqbString& user, uint32_t folderId, int bandCount, const VqbString* bandNames,
                                 const double* bandStarts, const double* bandEnds, const int* bandColors) = 0;
    // Task rules, weightings and report groups move to threshold 1.
    virtual bool deleteThreshold(uint32_t thresholdId) = 0;

    // The values are stored as given.
    virtual bool updateJobRuleMetric(uint32_t jobId, uint32_t ruleId, uint32_t dimensionId, uint32_t thresholdId,
                                     const VqbReal& weight) = 0;
};

#endif
