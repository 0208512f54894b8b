// Typed data access of postal change-of-address bookkeeping: the master records of list owners,
// licensees and brokers; processing acknowledgement forms (PAFs) with their own versioned copies
// of the parties named on them; processing runs with their statistics.
//
// Ids are unsigned row ids; 0xFFFFFFFF means none, or no filter, in an optional id. A text filter
// is present when it is not empty; an ACTIVE filter when it is not -1 (it is compared as 0 or 1).
// A field of a partial update is given when its text or date is not null, or its number not -1.
// Flags (COOPDB, EQUIVALT) are stored as 0 or 1. An add starts a history (HISTID) of its own; a
// copy joins the history, PAF and master record of its source. Out ids may be null and are
// written only once the change is committed. Cursors belong to the caller, who releases them;
// their columns are read by position (catalogue order for whole rows). Failures give false or
// null; getErrorMessage then gives the connection's general error text and the log the detail.
//
// Runs: the host sets the run's values by ordinal (0-3 RUN_ID, PAF_ID, GRP_ID, EX_DATE, of which
// addRun fills all but GRP_ID; 4 and up one statistic each, in catalogue order), then addRun
// stores them in one transaction. After addRun every value is null again, whatever its result.
#ifndef REPOS_NCOA_RDA_H
#define REPOS_NCOA_RDA_H

#include <cstdint>

#include "repos_typed.h"
#include "vqbdatavar.h"

class NCOARepositoryDataAccess : public virtual ReposTypedDataAccess {
protected:
    ~NCOARepositoryDataAccess() override = default;

public:
    virtual bool addListOwner(const VqbString& busName, const VqbString& addr, const VqbString& city,
                              const VqbString& state, const VqbString& zip, const VqbString& telNo,
                              const VqbString& naics, const VqbString& mailId, const VqbString& email,
                              const VqbString& parName, const VqbString& mktgName, const VqbString& custom1,
                              const VqbString& custom2, const VqbString& custom3, const VqbString& website,
                              int coopDb, const VqbString& signName, const VqbString& signTitle,
                              const VqbDate& signDate, uint32_t* id) = 0;
    virtual bool addPafListOwner(const VqbString& busName, const VqbString& addr, const VqbString& city,
                                 const VqbString& state, const VqbString& zip, const VqbString& telNo,
                                 const VqbString& naics, const VqbString& mailId, const VqbString& email,
                                 const VqbString& parName, const VqbString& mktgName, const VqbString& custom1,
                                 const VqbString& custom2, const VqbString& custom3, const VqbString& website,
                                 int coopDb, const VqbString& signName, const VqbString& signTitle,
                                 const VqbDate& signDate, const VqbDate& created, uint32_t pafId,
                                 uint32_t listOwnerId, uint32_t* id) = 0;
    virtual bool addLicensee(const VqbString& ncoaId, const VqbString& busName, const VqbString& telNo,
                             const VqbString& tin, int type, const VqbString& email, const VqbString& fax,
                             const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                             const VqbString& signName, const VqbString& signTitle, const VqbDate& signDate,
                             uint32_t* id) = 0;
    // The copy's creation date is the moment of the add; created is not read.
    virtual bool addPafLicensee(const VqbString& ncoaId, const VqbString& busName, const VqbString& telNo,
                                const VqbString& tin, int type, const VqbString& email, const VqbString& fax,
                                const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                                const VqbString& signName, const VqbString& signTitle, const VqbDate& signDate,
                                const VqbDate& created, uint32_t pafId, uint32_t licenseeId, uint32_t* id) = 0;
    virtual bool addBroker(const VqbString& busName, const VqbString& addr, const VqbString& city,
                           const VqbString& state, const VqbString& zip, const VqbString& telNo, const VqbString& fax,
                           const VqbString& email, const VqbString& naics, const VqbString& custom1,
                           const VqbString& custom2, const VqbString& custom3, int type, const VqbString& signName,
                           const VqbString& signTitle, const VqbDate& signDate, uint32_t* id) = 0;
    // The copy's creation date is the moment of the add; created is not read.
    virtual bool addPafBroker(const VqbString& busName, const VqbString& addr, const VqbString& city,
                              const VqbString& state, const VqbString& zip, const VqbString& telNo,
                              const VqbString& fax, const VqbString& email, const VqbString& naics,
                              const VqbString& custom1, const VqbString& custom2, const VqbString& custom3, int type,
                              const VqbString& signName, const VqbString& signTitle, const VqbDate& signDate,
                              const VqbDate& created, uint32_t pafId, uint32_t brokerId, uint32_t* id) = 0;
    // An active PAF created now.
    virtual bool addPaf(const VqbString& custom1, const VqbString& custom2, const VqbString& custom3, int pafType,
                        int procFreq, const VqbDate& expires, int equivalent, const VqbString& listName,
                        const VqbString& ncoaPaf, uint32_t* id) = 0;
    // The run of the values set so far, dated now; reserved is not read.
    virtual bool addRun(uint32_t reserved, uint32_t pafId, uint32_t* runId) = 0;

    virtual ReposDataAccessCursor* listListOwners(uint32_t listOwnerId) = 0;
    // Newest row first.
    virtual ReposDataAccessCursor* listPafListOwners(uint32_t pafListOwnerId, uint32_t pafId, uint32_t historyId) = 0;
    virtual ReposDataAccessCursor* listLicensees(uint32_t licenseeId) = 0;
    virtual ReposDataAccessCursor* listPafLicensees(uint32_t pafLicenseeId, uint32_t pafId, uint32_t historyId) = 0;
    virtual ReposDataAccessCursor* listBrokers(uint32_t brokerId) = 0;
    virtual ReposDataAccessCursor* listPafBrokers(uint32_t pafBrokerId, uint32_t pafId, uint32_t historyId) = 0;
    virtual ReposDataAccessCursor* listBrokersByType(int type) = 0;
    // The PAF rows, once per matching pair of list-owner and broker copies (once when none), by
    // creation date and id.
    virtual ReposDataAccessCursor* listPafs(const VqbString& ncoaPaf, const VqbString& listName,
                                            const VqbString& listOwnerName, const VqbString& brokerName,
                                            bool ascending, int active) = 0;
    // The versions of a PAF by creation date; the cursor reads them as the caller advances.
    virtual ReposDataAccessCursor* listPafHistory(uint32_t historyId, bool ascending) = 0;
    // The PAF columns followed by those of each list-owner copy of the PAF, newest first. With
    // sameHistory, every PAF of the given PAF's history (which must then be given) is listed.
    virtual ReposDataAccessCursor* listPafsWithListOwner(uint32_t pafId, uint32_t listOwnerId,
                                                         const VqbString& listOwnerName, int active,
                                                         bool sameHistory) = 0;
    // One row per run with statistics, by run id: one column per ordinal, typed after the
    // catalogue. Null dates and text, negative ids: no filter.
    virtual ReposDataAccessCursor* listRunReport(const VqbDate& from, const VqbDate& to, const VqbString& ncoaPaf,
                                                 int runId, int pafId, int groupId) = 0;
    virtual bool clearRunValues() = 0;
    // False for an ordinal the run has no column for.
    virtual bool setRunValue(int ordinal, const VqbDatavar& value) = 0;

    // Partial updates: only the given fields change; a master's modification date is stamped.
    // False when nothing is given.
    virtual bool updateListOwner(uint32_t listOwnerId, const VqbString& busName, const VqbString& addr,
                                 const VqbString& city, const VqbString& state, const VqbString& zip,
                                 const VqbString& telNo, const VqbString& naics, const VqbString& mailId,
                                 const VqbString& email, const VqbString& parName, const VqbString& mktgName,
                                 const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                                 const VqbString& website, int coopDb, const VqbString& signName,
                                 const VqbString& signTitle, const VqbDate& signDate) = 0;
    virtual bool updatePafListOwner(uint32_t pafListOwnerId, const VqbString& busName, const VqbString& addr,
                                    const VqbString& city, const VqbString& state, const VqbString& zip,
                                    const VqbString& telNo, const VqbString& naics, const VqbString& mailId,
                                    const VqbString& email, const VqbString& parName, const VqbString& mktgName,
                                    const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                                    const VqbString& website, int coopDb, const VqbString& signName,
                                    const VqbString& signTitle, const VqbDate& signDate, const VqbDate& created,
                                    uint32_t pafId, uint32_t listOwnerId) = 0;
    virtual bool copyPafListOwner(uint32_t pafListOwnerId, uint32_t* id) = 0;
    virtual bool deleteListOwner(uint32_t listOwnerId) = 0;
    virtual bool deletePafListOwner(uint32_t pafListOwnerId) = 0;
    virtual bool updateLicensee(uint32_t licenseeId, const VqbString& ncoaId, const VqbString& busName,
                                const VqbString& telNo, const VqbString& tin, int type, const VqbString& email,
                                const VqbString& fax, const VqbString& custom1, const VqbString& custom2,
                                const VqbString& custom3, const VqbString& signName, const VqbString& signTitle,
                                const VqbDate& signDate) = 0;
    virtual bool updatePafLicensee(uint32_t pafLicenseeId, const VqbString& ncoaId, const VqbString& busName,
                                   const VqbString& telNo, const VqbString& tin, int type, const VqbString& email,
                                   const VqbString& fax, const VqbString& custom1, const VqbString& custom2,
                                   const VqbString& custom3, const VqbString& signName, const VqbString& signTitle,
                                   const VqbDate& signDate, const VqbDate& created, uint32_t pafId,
                                   uint32_t licenseeId) = 0;
    // The copy keeps its source's creation date.
    virtual bool copyPafLicensee(uint32_t pafLicenseeId, uint32_t* id) = 0;
    virtual bool deleteLicensee(uint32_t licenseeId) = 0;
    virtual bool deletePafLicensee(uint32_t pafLicenseeId) = 0;
    virtual bool updateBroker(uint32_t brokerId, const VqbString& busName, const VqbString& addr,
                              const VqbString& city, const VqbString& state, const VqbString& zip,
                              const VqbString& telNo, const VqbString& fax, const VqbString& email,
                              const VqbString& naics, const VqbString& custom1, const VqbString& custom2,
                              const VqbString& custom3, int type, const VqbString& signName,
                              const VqbString& signTitle, const VqbDate& signDate) = 0;
    virtual bool updatePafBroker(uint32_t pafBrokerId, const VqbString& busName, const VqbString& addr,
                                 const VqbString& city, const VqbString& state, const VqbString& zip,
                                 const VqbString& telNo, const VqbString& fax, const VqbString& email,
                                 const VqbString& naics, const VqbString& custom1, const VqbString& custom2,
                                 const VqbString& custom3, int type, const VqbString& signName,
                                 const VqbString& signTitle, const VqbDate& signDate, const VqbDate& created,
                                 uint32_t pafId, uint32_t brokerId) = 0;
    virtual bool copyPafBroker(uint32_t pafBrokerId, uint32_t* id) = 0;
    virtual bool deleteBroker(uint32_t brokerId) = 0;
    virtual bool deletePafBroker(uint32_t pafBrokerId) = 0;
    virtual bool updatePaf(uint32_t pafId, const VqbString& custom1, const VqbString& custom2,
                           const VqbString& custom3, int pafType, int procFreq, const VqbDate& expires,
                           int equivalent, const VqbString& listName, int active, const VqbString& ncoaPaf) = 0;
    // An active copy created now.
    virtual bool copyPaf(uint32_t pafId, uint32_t* id) = 0;
    virtual bool deletePaf(uint32_t pafId) = 0;
};

#endif
