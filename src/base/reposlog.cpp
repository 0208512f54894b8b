#include "reposlog.h"

#include <cstdarg>

void reposLog(VqLogger* logger, int level, const char* sourceFile, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    logger->logv(level, sourceFile, line, format, args);
    va_end(args);
}
