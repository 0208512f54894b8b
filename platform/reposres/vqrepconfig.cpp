#include "vqrepconfig.h"

#include <new>
#include <string>
#include <vector>

#include "vqbconfig.h"
#include "vqlog.h"

namespace {

const char kSection[] = "REPOSITORIES";
const char kLoggerName[] = "VQ.Repos.ReposRes.Config";

enum Setting { CONNECTION, PREFIX, FILE_FLAG, SETTING_COUNT };
const char* const kSettingWords[SETTING_COUNT] = {"CONNECTION", "PREFIX", "FILE"};

// Splits "<name>.<setting>"; false for keys of no known setting.
bool splitKey(const VqbString& key, VqbString& name, int& setting) {
    const std::string& k = key.str();
    size_t dot = k.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    VqbString word(k.substr(dot + 1));
    for (int s = 0; s < SETTING_COUNT; ++s)
        if (word.equals(kSettingWords[s], false)) {
            name = VqbString(k.substr(0, dot));
            setting = s;
            return true;
        }
    return false;
}

class RepositoryConfigurationImpl final : public RepositoryConfiguration {
public:
    RepositoryConfigurationImpl(VqbString name, int kind, VqbString connection, VqbString prefix)
        : name_(std::move(name)), kind_(kind), connection_(std::move(connection)), prefix_(std::move(prefix)) {}
    void release() override { delete this; }
    VqbString getName() override { return name_; }
    int getConnectorKind() override { return kind_; }
    VqbString getConnection() override { return connection_; }
    VqbString getTablePrefix() override { return prefix_; }

private:
    VqbString name_;
    int kind_;
    VqbString connection_;
    VqbString prefix_;
};

class RepositoryConfigurationManagerImpl final : public RepositoryConfigurationManager {
public:
    explicit RepositoryConfigurationManagerImpl(VqbConfigOptions* options) : options_(options) {}
    void release() override { delete this; }

    RepositoryConfiguration* getRepositoryConfiguration(const VqbString& name) override {
        try {
            return find(name);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }

private:
    RepositoryConfiguration* find(const VqbString& name) {
        if (name.isEmpty()) return nullptr;
        VqbString configured;
        if (!resolveName(name, configured)) return nullptr;

        VqbString values[SETTING_COUNT];
        bool present[SETTING_COUNT] = {};
        for (const VqbString& key : options_->keys()) {
            VqbString keyName;
            int setting = 0;
            if (splitKey(key, keyName, setting) && keyName == configured)
                present[setting] = options_->get(key, values[setting]);
        }
        VqLogger* logger = vqlogGetLogger(kLoggerName);
        if (!present[CONNECTION] || values[CONNECTION].isEmpty()) {
            logger->log(5, "vqrepconfig", __LINE__, "Repository \"%s\" has no %s.CONNECTION in section [%s]",
                        configured.asCstr(), configured.asCstr(), kSection);
            return nullptr;
        }
        int kind = REPOS_CONNECTOR_DAC;
        if (present[FILE_FLAG] && !values[FILE_FLAG].trimmed().isEmpty()) {
            bool error = false;
            bool isFile = values[FILE_FLAG].asBool(&error);
            if (error) {
                logger->log(5, "vqrepconfig", __LINE__, "Repository \"%s\": %s.FILE value \"%s\" is not a boolean",
                            configured.asCstr(), configured.asCstr(), values[FILE_FLAG].asCstr());
                return nullptr;
            }
            if (isFile) kind = REPOS_CONNECTOR_FILE;
        }
        return new RepositoryConfigurationImpl(configured, kind, values[CONNECTION],
                                               present[PREFIX] ? values[PREFIX] : VqbString(""));
    }

    // The name as configured: the exact match, else the only one equal ignoring case.
    bool resolveName(const VqbString& name, VqbString& configured) {
        std::vector<VqbString> matches;
        for (const VqbString& key : options_->keys()) {
            VqbString keyName;
            int setting = 0;
            if (!splitKey(key, keyName, setting)) continue;
            if (keyName == name) {
                configured = keyName;
                return true;
            }
            if (keyName.equals(name, false)) {
                bool known = false;
                for (const VqbString& m : matches) known = known || m == keyName;
                if (!known) matches.push_back(keyName);
            }
        }
        if (matches.size() == 1) {
            configured = matches.front();
            return true;
        }
        if (matches.size() > 1) {
            vqlogGetLogger(kLoggerName)
                ->log(5, "vqrepconfig", __LINE__,
                      "Repository name \"%s\" is ambiguous: %zu configured names differ from it only in case",
                      name.asCstr(), matches.size());
        }
        return false;
    }

    VqbConfigOptions* options_;  // lives for the process
};

}  // namespace

RepositoryConfigurationManager* getRepositoryConfigurationManager() {
    VqbConfigOptions* options = vqbGetConfigOptions(kSection);
    if (!options) return nullptr;
    return new (std::nothrow) RepositoryConfigurationManagerImpl(options);
}
