// An event manager that records every announcement, for tests, and a scope that registers one.
#ifndef RECORDING_EVENT_MANAGER_H
#define RECORDING_EVENT_MANAGER_H

#include <mutex>
#include <string>
#include <vector>

#include "vqrepevent.h"

struct RecordedRepositoryEvent {
    enum Kind { Event, Rename, Uri };
    Kind kind = Event;
    std::string repositoryId;
    int changeType = 0;      // Rename: always REPOS_CHANGE_MODIFY
    std::string typeName;    // empty for Uri
    int objectId = 0;        // 0 for Uri
    std::string objectUuid;  // empty for Uri
    std::string oldName, newName;
    std::string uri, identity;

    // One line per call, e.g. "postEvent(R1, 0, Rule, 5, U)", for compact order checks.
    std::string describe() const {
        switch (kind) {
            case Rename:
                return "postRenameEvent(" + repositoryId + ", " + typeName + ", " + std::to_string(objectId) +
                       ", " + objectUuid + ", " + oldName + ", " + newName + ")";
            case Uri:
                return "postUriEvent(" + repositoryId + ", " + uri + ", " + std::to_string(changeType) + ", " +
                       identity + ")";
            case Event:
            default:
                return "postEvent(" + repositoryId + ", " + std::to_string(changeType) + ", " + typeName + ", " +
                       std::to_string(objectId) + ", " + objectUuid + ")";
        }
    }
};

class RecordingEventManager : public RepositoryEventManager {
public:
    void postEvent(const VqbString& repositoryId, int changeType, const VqbString& objectTypeName, int objectId,
                   const VqbString& objectUuid) override {
        add({RecordedRepositoryEvent::Event, repositoryId.str(), changeType, objectTypeName.str(), objectId,
             objectUuid.str(), "", "", "", ""});
    }
    void postRenameEvent(const VqbString& repositoryId, const VqbString& objectTypeName, int objectId,
                         const VqbString& objectUuid, const VqbString& oldName, const VqbString& newName) override {
        add({RecordedRepositoryEvent::Rename, repositoryId.str(), REPOS_CHANGE_MODIFY, objectTypeName.str(), objectId,
             objectUuid.str(), oldName.str(), newName.str(), "", ""});
    }
    void postUriEvent(const VqbString& repositoryId, const VqbString& uriText, int changeType,
                      const VqbString& identity) override {
        add({RecordedRepositoryEvent::Uri, repositoryId.str(), changeType, "", 0, "", "", "", uriText.str(),
             identity.str()});
    }

    std::vector<RecordedRepositoryEvent> events() const {
        std::lock_guard<std::mutex> g(mutex_);
        return events_;
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const auto& e : events()) out.push_back(e.describe());
        return out;
    }
    size_t count() const {
        std::lock_guard<std::mutex> g(mutex_);
        return events_.size();
    }
    void clear() {
        std::lock_guard<std::mutex> g(mutex_);
        events_.clear();
    }

private:
    void add(RecordedRepositoryEvent e) {
        std::lock_guard<std::mutex> g(mutex_);
        events_.push_back(std::move(e));
    }

    mutable std::mutex mutex_;
    std::vector<RecordedRepositoryEvent> events_;
};

// Registers a manager for one scope and puts back the one registered before.
class RepositoryEventManagerScope {
public:
    explicit RepositoryEventManagerScope(RepositoryEventManager* manager)
        : previous_(setRepositoryEventManager(manager)) {}
    ~RepositoryEventManagerScope() { setRepositoryEventManager(previous_); }
    RepositoryEventManagerScope(const RepositoryEventManagerScope&) = delete;
    RepositoryEventManagerScope& operator=(const RepositoryEventManagerScope&) = delete;

private:
    RepositoryEventManager* previous_;
};

// The usual test set-up: a recorder registered for the life of this object.
class ScopedRecordingEventManager : public RecordingEventManager {
public:
    ScopedRecordingEventManager() : scope_(this) {}

private:
    RepositoryEventManagerScope scope_;
};

#endif
