// The change-of-address data access over a repository connection, by concern: master records,
// lists, deletes and partial updates (ncoa_rdaimpl); PAFs and their per-PAF copies
// (ncoa_rdaimpl_paf); runs and their statistics (ncoa_rdaimpl_runs).
#ifndef NCOA_RDAIMPL_H
#define NCOA_RDAIMPL_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "base_rdaimpl.h"
#include "repos_ncoa_rda.h"

// How a field's value is stored.
enum class NcoaValue {
    Text,
    Number,   // a code stored as given
    Flag,     // 0 or 1 whenever written
    AddFlag,  // 0 or 1 when a row is written, as given by an update
    Date,
    Id,
    Created,  // the creation date of a copy or PAF
    Active,   // 1 when a row is written
};

struct NcoaField {
    const char* column;
    NcoaValue value;
};

// One record kind: its table, key and fields in the order its adds and updates take them (which
// is not always the column order).
struct NcoaKind {
    const char* table;
    const char* key;
    const char* historyKey;  // null for the masters, which keep no history
    const NcoaField* fields;
    size_t fieldCount;
    bool keyNoneRefused;  // an update of the "none" key is refused rather than run
    bool addStampsNow;    // CRDATE of an add is the moment of the add, not the caller's
    bool copyStampsNow;   // CRDATE of a copy is the moment of the copy, not the source's
};

// One statistic or key column of a run: its catalogue name, type and length, and the value the
// host set for the next run.
struct RunColumnInfo {
    VqbString name;
    VqbDatavar value;
    int type = 0;
    int length = 0;
};

class NCOARDAImpl : public BaseRDAImpl, public NCOARepositoryDataAccess {
public:
    explicit NCOARDAImpl(ReposDataAccess* connection);

    // Builds the run columns from the catalogue once; true when they are (or already were) there.
    bool loadRunColumns();
    size_t runColumnCount() const { return runColumns_.size(); }

    bool addListOwner(const VqbString& busName, const VqbString& addr, const VqbString& city, const VqbString& state,
                      const VqbString& zip, const VqbString& telNo, const VqbString& naics, const VqbString& mailId,
                      const VqbString& email, const VqbString& parName, const VqbString& mktgName,
                      const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                      const VqbString& website, int coopDb, const VqbString& signName, const VqbString& signTitle,
                      const VqbDate& signDate, uint32_t* id) override;
    bool addPafListOwner(const VqbString& busName, const VqbString& addr, const VqbString& city,
                         const VqbString& state, const VqbString& zip, const VqbString& telNo,
                         const VqbString& naics, const VqbString& mailId, const VqbString& email,
                         const VqbString& parName, const VqbString& mktgName, const VqbString& custom1,
                         const VqbString& custom2, const VqbString& custom3, const VqbString& website, int coopDb,
                         const VqbString& signName, const VqbString& signTitle, const VqbDate& signDate,
                         const VqbDate& created, uint32_t pafId, uint32_t listOwnerId, uint32_t* id) override;
    bool addLicensee(const VqbString& ncoaId, const VqbString& busName, const VqbString& telNo, const VqbString& tin,
                     int type, const VqbString& email, const VqbString& fax, const VqbString& custom1,
                     const VqbString& custom2, const VqbString& custom3, const VqbString& signName,
                     const VqbString& signTitle, const VqbDate& signDate, uint32_t* id) override;
    bool addPafLicensee(const VqbString& ncoaId, const VqbString& busName, const VqbString& telNo,
                        const VqbString& tin, int type, const VqbString& email, const VqbString& fax,
                        const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                        const VqbString& signName, const VqbString& signTitle, const VqbDate& signDate,
                        const VqbDate& created, uint32_t pafId, uint32_t licenseeId, uint32_t* id) override;
    bool addBroker(const VqbString& busName, const VqbString& addr, const VqbString& city, const VqbString& state,
                   const VqbString& zip, const VqbString& telNo, const VqbString& fax, const VqbString& email,
                   const VqbString& naics, const VqbString& custom1, const VqbString& custom2,
                   const VqbString& custom3, int type, const VqbString& signName, const VqbString& signTitle,
                   const VqbDate& signDate, uint32_t* id) override;
    bool addPafBroker(const VqbString& busName, const VqbString& addr, const VqbString& city, const VqbString& state,
                      const VqbString& zip, const VqbString& telNo, const VqbString& fax, const VqbString& email,
                      const VqbString& naics, const VqbString& custom1, const VqbString& custom2,
                      const VqbString& custom3, int type, const VqbString& signName, const VqbString& signTitle,
                      const VqbDate& signDate, const VqbDate& created, uint32_t pafId, uint32_t brokerId,
                      uint32_t* id) override;
    bool addPaf(const VqbString& custom1, const VqbString& custom2, const VqbString& custom3, int pafType,
                int procFreq, const VqbDate& expires, int equivalent, const VqbString& listName,
                const VqbString& ncoaPaf, uint32_t* id) override;
    bool addRun(uint32_t reserved, uint32_t pafId, uint32_t* runId) override;
    ReposDataAccessCursor* listListOwners(uint32_t listOwnerId) override;
    ReposDataAccessCursor* listPafListOwners(uint32_t pafListOwnerId, uint32_t pafId, uint32_t historyId) override;
    ReposDataAccessCursor* listLicensees(uint32_t licenseeId) override;
    ReposDataAccessCursor* listPafLicensees(uint32_t pafLicenseeId, uint32_t pafId, uint32_t historyId) override;
    ReposDataAccessCursor* listBrokers(uint32_t brokerId) override;
    ReposDataAccessCursor* listPafBrokers(uint32_t pafBrokerId, uint32_t pafId, uint32_t historyId) override;
    ReposDataAccessCursor* listBrokersByType(int type) override;
    ReposDataAccessCursor* listPafs(const VqbString& ncoaPaf, const VqbString& listName,
                                    const VqbString& listOwnerName, const VqbString& brokerName, bool ascending,
                                    int active) override;
    ReposDataAccessCursor* listPafHistory(uint32_t historyId, bool ascending) override;
    ReposDataAccessCursor* listPafsWithListOwner(uint32_t pafId, uint32_t listOwnerId, const VqbString& listOwnerName,
                                                 int active, bool sameHistory) override;
    ReposDataAccessCursor* listRunReport(const VqbDate& from, const VqbDate& to, const VqbString& ncoaPaf, int runId,
                                         int pafId, int groupId) override;
    bool clearRunValues() override;
    bool setRunValue(int ordinal, const VqbDatavar& value) override;
    bool updateListOwner(uint32_t listOwnerId, const VqbString& busName, const VqbString& addr,
                         const VqbString& city, const VqbString& state, const VqbString& zip, const VqbString& telNo,
                         const VqbString& naics, const VqbString& mailId, const VqbString& email,
                         const VqbString& parName, const VqbString& mktgName, const VqbString& custom1,
                         const VqbString& custom2, const VqbString& custom3, const VqbString& website, int coopDb,
                         const VqbString& signName, const VqbString& signTitle, const VqbDate& signDate) override;
    bool updatePafListOwner(uint32_t pafListOwnerId, const VqbString& busName, const VqbString& addr,
                            const VqbString& city, const VqbString& state, const VqbString& zip,
                            const VqbString& telNo, const VqbString& naics, const VqbString& mailId,
                            const VqbString& email, const VqbString& parName, const VqbString& mktgName,
                            const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                            const VqbString& website, int coopDb, const VqbString& signName,
                            const VqbString& signTitle, const VqbDate& signDate, const VqbDate& created,
                            uint32_t pafId, uint32_t listOwnerId) override;
    bool copyPafListOwner(uint32_t pafListOwnerId, uint32_t* id) override;
    bool deleteListOwner(uint32_t listOwnerId) override;
    bool deletePafListOwner(uint32_t pafListOwnerId) override;
    bool updateLicensee(uint32_t licenseeId, const VqbString& ncoaId, const VqbString& busName,
                        const VqbString& telNo, const VqbString& tin, int type, const VqbString& email,
                        const VqbString& fax, const VqbString& custom1, const VqbString& custom2,
                        const VqbString& custom3, const VqbString& signName, const VqbString& signTitle,
                        const VqbDate& signDate) override;
    bool updatePafLicensee(uint32_t pafLicenseeId, const VqbString& ncoaId, const VqbString& busName,
                           const VqbString& telNo, const VqbString& tin, int type, const VqbString& email,
                           const VqbString& fax, const VqbString& custom1, const VqbString& custom2,
                           const VqbString& custom3, const VqbString& signName, const VqbString& signTitle,
                           const VqbDate& signDate, const VqbDate& created, uint32_t pafId,
                           uint32_t licenseeId) override;
    bool copyPafLicensee(uint32_t pafLicenseeId, uint32_t* id) override;
    bool deleteLicensee(uint32_t licenseeId) override;
    bool deletePafLicensee(uint32_t pafLicenseeId) override;
    bool updateBroker(uint32_t brokerId, const VqbString& busName, const VqbString& addr, const VqbString& city,
                      const VqbString& state, const VqbString& zip, const VqbString& telNo, const VqbString& fax,
                      const VqbString& email, const VqbString& naics, const VqbString& custom1,
                      const VqbString& custom2, const VqbString& custom3, int type, const VqbString& signName,
                      const VqbString& signTitle, const VqbDate& signDate) override;
    bool updatePafBroker(uint32_t pafBrokerId, const VqbString& busName, const VqbString& addr,
                         const VqbString& city, const VqbString& state, const VqbString& zip, const VqbString& telNo,
                         const VqbString& fax, const VqbString& email, const VqbString& naics,
                         const VqbString& custom1, const VqbString& custom2, const VqbString& custom3, int type,
                         const VqbString& signName, const VqbString& signTitle, const VqbDate& signDate,
                         const VqbDate& created, uint32_t pafId, uint32_t brokerId) override;
    bool copyPafBroker(uint32_t pafBrokerId, uint32_t* id) override;
    bool deleteBroker(uint32_t brokerId) override;
    bool deletePafBroker(uint32_t pafBrokerId) override;
    bool updatePaf(uint32_t pafId, const VqbString& custom1, const VqbString& custom2, const VqbString& custom3,
                   int pafType, int procFreq, const VqbDate& expires, int equivalent, const VqbString& listName,
                   int active, const VqbString& ncoaPaf) override;
    bool copyPaf(uint32_t pafId, uint32_t* id) override;
    bool deletePaf(uint32_t pafId) override;

protected:
    ~NCOARDAImpl() override;

private:
    static constexpr const char* kSource = "ncoa_rdaimpl";
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    enum Kind { ListOwner, PafListOwner, Licensee, PafLicensee, Broker, PafBroker, Paf };
    static const NcoaKind kKinds[];

    // One argument of an add or update: its value as bound, and whether an update was given it
    // (a text or date not null, a number not -1, an id not "none").
    struct Arg {
        Arg(const VqbString& text);
        Arg(const VqbDate& date);
        Arg(int number) : value(number), given(number != -1) {}
        Arg(uint32_t id) : value(idValue(id)), given(id != kNone) {}
        VqbDatavar value;
        bool given;
    };
    using Args = std::initializer_list<Arg>;

    static VqbDatavar now();
    // The value stored for a field when a row is written (written) or updated.
    static VqbDatavar stored(const NcoaField& field, const VqbDatavar& value, bool written);

    // A master record with a new id.
    bool addMaster(int line, Kind kind, Args args, uint32_t* id);
    // A per-PAF copy or PAF that starts a history of its own.
    bool addWithHistory(int line, Kind kind, Args args, uint32_t* id);
    // A new version of the row key, in its history.
    bool copyRow(int line, Kind kind, uint32_t key, uint32_t* id);
    // The insert of a row of the kind, its new id left for insertKeyed; values in field order.
    Sql insertRow(Kind kind, std::vector<VqbDatavar> values, const VqbDatavar* historyId);
    bool update(int line, Kind kind, uint32_t key, Args args);
    bool deleteRow(int line, Kind kind, uint32_t key);
    ReposDataAccessCursor* listMaster(int line, Kind kind, uint32_t key);
    ReposDataAccessCursor* listCopies(int line, Kind kind, uint32_t key, uint32_t pafId, uint32_t historyId);
    // The ACTIVE filter, written into the text as 0 or 1.
    static Sql& whereActive(Sql& sql, const char* column, int active);

    // The value of a report cell: the stored text as the column's type when it reads wholly as
    // one, else the text itself.
    static VqbDatavar typed(const VqbDatavar& value, int type);
    void resetRunValues();

    std::vector<RunColumnInfo> runColumns_;  // by ordinal
};

#endif
