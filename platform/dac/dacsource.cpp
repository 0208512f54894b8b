// Data sources: check a connection text and open connections through the driver it names.
#include <map>
#include <new>

#include "dacimpl.h"
#include "vqlog.h"

namespace {

const char* const loggerName = "VQ.Dac";
// Key of the data-source info that names the configured text it stands for.
const char* const infoKey = "VQXCFG";

enum class Driver { Sqlite, Odbc };

bool pickDriver(const DacConnText& text, Driver& driver, std::string& error) {
    std::string type = text.get("VQXTYPE");
    if (type.empty() || dacKeyIs(type, "ODBC")) {
        driver = Driver::Odbc;
        if (!text.has("DSN") && !text.has("DRIVER") && !text.has("FILEDSN")) {
            error = "the connection text names no DSN, DRIVER or FILEDSN";
            return false;
        }
        return true;
    }
    if (dacKeyIs(type, "SQLITE")) {
        driver = Driver::Sqlite;
        return true;
    }
    error = "VQXTYPE=" + type + " names no driver of the connector (SQLITE or ODBC)";
    return false;
}

class DataSource : public DacDataSource {
public:
    bool configure(const VqbString& connectionText, VqbString& info, int /*flags*/, int /*reserved*/) override {
        try {
            DacConnText text;
            if (!check(connectionText, text)) return false;
            int id = nextId_++;
            texts_[id] = connectionText.str();
            DacConnText shown;
            std::string ignored;
            shown.parse(dacMaskConnectionText(connectionText).str(), ignored);
            shown.remove(infoKey);
            info = VqbString(std::string(infoKey) + "=" + std::to_string(id) + ";" + shown.toString());
            error_ = VqbString();
            return true;
        } catch (const std::bad_alloc&) {
            error_ = VqbString("out of memory configuring a data source");
            return false;
        }
    }

    DacConnection* openConnection(const VqbString& info, int /*flags*/, int /*reserved*/) override {
        try {
            std::string real = info.str();
            DacConnText probe;
            std::string ignored;
            if (probe.parse(real, ignored) && probe.has(infoKey)) {
                int id = -1;
                auto it = dacParseInt(probe.get(infoKey), id) ? texts_.find(id) : texts_.end();
                if (it == texts_.end()) {
                    fail("the data-source info was not made by this data source", info);
                    return nullptr;
                }
                real = it->second;
            }
            DacConnText text;
            if (!check(VqbString(real), text)) return nullptr;
            Driver driver = Driver::Odbc;
            DacOptions options;
            std::string why;
            pickDriver(text, driver, why);
            dacReadOptions(text, options, why);
            DacSecrets secrets(text.secrets());
            VqbString error;
            DacConnection* c = driver == Driver::Sqlite ? dacSqliteConnect(text, options, secrets, error)
                                                        : dacOdbcConnect(text, options, secrets, error);
            if (!c) {
                fail(secrets.scrub(error).asCstr(), VqbString(real));
                return nullptr;
            }
            VqLogger* log = vqlogGetLogger(loggerName);
            if (log->getLevel() <= 2)
                log->log(2, "dacsource", __LINE__, "connected to [%s]",
                         dacMaskConnectionText(VqbString(real)).asCstr());
            error_ = VqbString();
            return c;
        } catch (const std::bad_alloc&) {
            error_ = VqbString("out of memory opening a connection");
            return nullptr;
        }
    }

    VqbString getErrorText() override { return error_; }
    void destroy() override { delete this; }

private:
    bool check(const VqbString& connectionText, DacConnText& text) {
        std::string why;
        Driver driver;
        DacOptions options;
        if (!text.parse(connectionText.str(), why) || !pickDriver(text, driver, why) ||
            !dacReadOptions(text, options, why)) {
            fail(why.c_str(), connectionText);
            return false;
        }
        if (driver == Driver::Sqlite && text.get("FILE").empty()) {
            fail("the connection text names no FILE", connectionText);
            return false;
        }
        return true;
    }

    void fail(const char* why, const VqbString& text) {
        error_ = dacMaskConnectionText(VqbString(why));
        VqLogger* log = vqlogGetLogger(loggerName);
        if (log->getLevel() <= 4)
            log->log(4, "dacsource", __LINE__, "%s [%s]", error_.asCstr(), dacMaskConnectionText(text).asCstr());
    }

    std::map<int, std::string> texts_;
    int nextId_ = 1;
    VqbString error_;
};

}  // namespace

DacDataSource* dacCreateDataSource(int /*flags*/) { return new (std::nothrow) DataSource(); }
