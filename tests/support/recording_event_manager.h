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
        RecordedRepositoryEvent e;
        e.kind = RecordedRepositoryEvent::Event;
        e.repositoryId = repositoryId.str();
        e.changeType = changeType;
        e.typeName = objectTypeName.str();
        e.objectId = objectId;
        e.objectUuid = objectUuid.str();
        add(std::move(e));
    }

    void postRenameEvent(const VqbString& repositoryId, const VqbString& objectTypeName, int objectId,
                         const VqbString& objectUuid, const VqbString& oldName, const VqbString& newName) override {
        RecordedRepositoryEvent e;
        e.kind = RecordedRepositoryEvent::Rename;
        e.repositoryId = repositoryId.str();
        e.changeType = REPOS_CHANGE_MODIFY;
        e.typeName = objectTypeName.str();
        e.objectId = objectId;
        e.objectUuid = objectUuid.str();
        e.oldName = oldName.str();
        e.newName = newName.str();
        add(std::move(e));
    }

    void postUriEvent(const VqbString& repositoryId, const VqbString& uriText, int changeType,
                      const VqbString& identity) override {
        RecordedRepositoryEvent e;
        e.kind = RecordedRepositoryEvent::Uri;
        e.repositoryId = repositoryId.str();
        e.changeType = changeType;
        e.uri = uriText.str();
        e.identity = identity.str();
        add(std::move(e));
    }

    std::vector<RecordedRepositoryEvent> events() const {
        std::lock_guard<std::mutex> g(mutex_);
        return events_;
    }
    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> g(mutex_);
        std::vector<std::string> out;
        out.reserve(events_.size());
        for (const auto& e : events_) out.push_back(e.describe());
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
    void add(RecordedRepositoryEvent&& e) {
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
