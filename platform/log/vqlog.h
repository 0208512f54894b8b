// Named loggers with a threshold. Thresholds and destination come from the configuration:
//   LOG/LEVEL          default threshold (1..6; 6 turns logging off); without it 4 into a log
//                      file and 5 onto stderr
//   LOG/LEVEL/<name>   threshold of one logger (its name or any dotted prefix of it)
//   LOG/FILE           append entries to this file instead of stderr
#ifndef VQ_LOG_H
#define VQ_LOG_H

#include <atomic>
#include <cstdarg>
#include <functional>
#include <string>

class VqLogger {
public:
    explicit VqLogger(std::string name, int level) : name_(std::move(name)), level_(level) {}
    const std::string& name() const { return name_; }
    int getLevel() const { return level_.load(std::memory_order_relaxed); }
    void setLevel(int level) { level_.store(level, std::memory_order_relaxed); }
    // Writes one entry when level >= threshold.
    void logv(int level, const char* sourceFile, int line, const char* format, va_list args);
    void log(int level, const char* sourceFile, int line, const char* format, ...);

private:
    std::string name_;
    std::atomic<int> level_;
};

// The logger of that name; the same name always gives the same object, never freed.
VqLogger* vqlogGetLogger(const char* name);

struct VqLogEntry {
    std::string logger;
    int level;
    std::string sourceFile;
    int line;
    std::string text;
};
// Every entry that passes its logger's threshold is handed to the hook (tests); null removes it.
// While a hook is set, entries are not written to the destination.
void vqlogSetCaptureHook(std::function<void(const VqLogEntry&)> hook);
// Sets the threshold of every logger whose name starts with the prefix ("" for all), now and
// for loggers created later.
void vqlogSetLevel(const char* namePrefix, int level);
// Re-reads thresholds and destination from the configuration.
void vqlogConfigure();

#endif
