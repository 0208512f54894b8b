// Sources, dimensions and thresholds: their managers on the common road, and the content of
// dimensions and thresholds that task exports include.
#ifndef REPMETAMONITORIMPL_H
#define REPMETAMONITORIMPL_H

#include "repmetacommonimpl.h"
#include "repos_monitor_rda.h"

// A content handler that also works through the monitor data access (released before the common one).
class MonitorMetaContentImpl : public RepositoryMetaContentImpl {
public:
    MonitorMetaContentImpl(RepositoryImportExportManagerImpl* owner, Repository* repository);

    bool ready() const override { return RepositoryMetaContentImpl::ready() && monitor; }
    VqbString accessError() override { return monitor ? monitor->getErrorMessage() : VqbString(""); }

    ReposHeld<MonitorRepositoryDataAccess> monitor;
};

// A new export handler over the monitor data access; null when it cannot be made.
std::unique_ptr<MonitorMetaContentImpl> createMonitorExportContent(RepositoryImportExportManagerImpl* owner,
                                                                  Repository* repository, unsigned id,
                                                                  const VqbString& uuid);

enum class ReposMonitorKind { Source, Dimension, Threshold };

// The object's row (content.id, its name property and content.uuid or the object's UUID find it)
// as the object's properties.
bool reposExportMonitorObject(MonitorMetaContentImpl& content, ReposMonitorKind kind, RepositoryMetadataObject* object,
                              VqbString& error);

// The threshold bands an object carries: bands 0 up to the first with no name, start, end or colour.
struct ReposThresholdBands {
    int count = 0;
    VqbString names[7];
    double starts[7] = {};
    double ends[7] = {};
    int colors[7] = {};
};
// Values that are not numbers read as 0, each reported at level 1.
ReposThresholdBands reposReadThresholdBands(RepositoryMetaContentImpl& content, RepositoryMetadataObject* object);

class MonitorObjectManagerImpl : public CommonObjectManagerImpl {
public:
    MonitorObjectManagerImpl(RepositoryImportExportManagerImpl* owner, ReposMonitorKind kind);

    // Logged first; no announcement, and the error text is left as it is.
    bool deleteObject(unsigned id, const VqbString& uuid, VqbString& error) override;

protected:
    bool remove(RepositoryMetaContentImpl& content, unsigned id) override;
    bool exportContent(RepositoryMetaContentImpl& content, RepositoryMetadataObject* object,
                       VqbString& error) override;
    ReposDataAccessCursor* find(RepositoryMetaContentImpl& content, const VqbString& name,
                                const VqbString& uuid) override;
    unsigned insert(RepositoryMetaContentImpl& content, const VqbString& name) override;
    bool updateHeader(RepositoryMetaContentImpl& content, const VqbString& name, const VqbString& uuid) override;
    bool importContent(RepositoryMetaContentImpl& content, VqbString& error) override;
    std::unique_ptr<RepositoryMetaContentImpl> makeContent() override;

private:
    ReposMonitorKind kind_;
};

class SourceManagerImpl : public MonitorObjectManagerImpl {
public:
    explicit SourceManagerImpl(RepositoryImportExportManagerImpl* owner)
        : MonitorObjectManagerImpl(owner, ReposMonitorKind::Source) {}
};

class DimensionManagerImpl : public MonitorObjectManagerImpl {
public:
    explicit DimensionManagerImpl(RepositoryImportExportManagerImpl* owner)
        : MonitorObjectManagerImpl(owner, ReposMonitorKind::Dimension) {}
};

class ThresholdManagerImpl : public MonitorObjectManagerImpl {
public:
    explicit ThresholdManagerImpl(RepositoryImportExportManagerImpl* owner)
        : MonitorObjectManagerImpl(owner, ReposMonitorKind::Threshold) {}
};

#endif
