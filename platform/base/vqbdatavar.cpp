#include "vqbdatavar.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>

namespace {

// Days from 1899-12-30 to 1970-01-01.
constexpr double kUnixEpochDays = 25569.0;

// Days from the civil date 1970-01-01 (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp + (mp < 10 ? 3 : -9);
    y = static_cast<int>(yy + (m <= 2));
}

}  // namespace

VqbDate VqbDate::currentDate() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    double frac = duration_cast<microseconds>(now.time_since_epoch()).count() % 1000000 / 1e6;
    return fromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                     local.tm_sec + frac);
}

VqbDate VqbDate::fromParts(int year, int month, int day, int hour, int minute, double second) {
    double days = static_cast<double>(daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day))) +
                  kUnixEpochDays;
    days += (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return VqbDate(days);
}

VqbString VqbDate::asString() const {
    if (null_) return VqbString("");
    double whole = std::floor(days_);
    int y;
    unsigned m, d;
    civilFromDays(static_cast<int64_t>(whole - kUnixEpochDays), y, m, d);
    long secs = std::lround((days_ - whole) * 86400.0);
    if (secs >= 86400) secs = 86399;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02ld:%02ld:%02ld", y, m, d, secs / 3600, (secs / 60) % 60,
                  secs % 60);
    return VqbString(buf);
}

void VqbDatavar::setText(const char* bytes, size_t size) {
    if (size <= kInPlace) {
        if (size) std::memcpy(bytes_, bytes, size);
        small_ = static_cast<uint8_t>(size);
        return;
    }
    Text* text = static_cast<Text*>(::operator new(offsetof(Text, bytes) + size + 1));
    new (&text->refs) std::atomic<uint32_t>(1);
    text->size = size;
    std::memcpy(text->bytes, bytes, size);
    text->bytes[size] = '\0';
    text_ = text;
    small_ = kShared;
}

void VqbDatavar::freeText(Text* text) {
    text->refs.~atomic();
    ::operator delete(text);
}

const char* VqbDatavar::textData() const {
    if (type_ != VQB_TYPE_STRING) return "";
    return small_ == kShared ? text_->bytes : bytes_;
}

size_t VqbDatavar::textSize() const {
    if (type_ != VQB_TYPE_STRING) return 0;
    return small_ == kShared ? text_->size : small_;
}

VqbDatavar::VqbDatavar(const VqbReal& v) {
    if (!v.isNull()) {
        type_ = VQB_TYPE_REAL;
        real_ = v.asDouble();
    }
    declared_ = VQB_TYPE_REAL;
}

VqbDatavar::VqbDatavar(const VqbDate& v) {
    if (!v.isNull()) {
        type_ = VQB_TYPE_DATE;
        real_ = v.asDouble();
    }
    declared_ = VQB_TYPE_DATE;
}

VqbDatavar::VqbDatavar(const char* v) {
    declared_ = VQB_TYPE_STRING;
    if (v) {
        setText(v, std::strlen(v));
        type_ = VQB_TYPE_STRING;
    }
}

VqbDatavar::VqbDatavar(const char* v, size_t bytes) : type_(VQB_TYPE_STRING), declared_(VQB_TYPE_STRING) {
    setText(v, v ? bytes : 0);
}

VqbDatavar::VqbDatavar(const VqbString& v) {
    declared_ = VQB_TYPE_STRING;
    if (!v.isNull()) {
        setText(v.asCstr(), v.cStrSize());
        type_ = VQB_TYPE_STRING;
    }
}

VqbDatavar VqbDatavar::fromBool(bool v) {
    VqbDatavar r;
    r.type_ = VQB_TYPE_BOOL;
    r.int_ = v ? 1 : 0;
    return r;
}

void VqbDatavar::setNull() {
    drop();
    type_ = VQB_TYPE_NULL;
    small_ = 0;
    int_ = 0;
}

void VqbDatavar::setType(int type) {
    declared_ = type;
    if (type_ == VQB_TYPE_NULL || type_ == type) return;
    switch (type) {
        case VQB_TYPE_INT: {
            int64_t v = asInt64();
            setNull();
            type_ = VQB_TYPE_INT;
            int_ = v;
            break;
        }
        case VQB_TYPE_REAL:
        case VQB_TYPE_DATE: {
            double v = asDouble();
            setNull();
            type_ = static_cast<uint8_t>(type);
            real_ = v;
            break;
        }
        case VQB_TYPE_STRING: {
            VqbString s = asString();
            setNull();
            setText(s.asCstr(), s.cStrSize());
            type_ = VQB_TYPE_STRING;
            break;
        }
        case VQB_TYPE_BOOL: {
            bool b = asBool();
            setNull();
            type_ = VQB_TYPE_BOOL;
            int_ = b ? 1 : 0;
            break;
        }
        default:
            setNull();
            break;
    }
}

int64_t VqbDatavar::asInt64() const {
    switch (type_) {
        case VQB_TYPE_INT:
        case VQB_TYPE_BOOL:
            return int_;
        case VQB_TYPE_REAL:
        case VQB_TYPE_DATE:
            if (std::isnan(real_) || real_ >= 9.2e18 || real_ <= -9.2e18) return 0;
            return static_cast<int64_t>(real_);
        case VQB_TYPE_STRING: {
            VqbString text = asString();
            bool err = false;
            int64_t v = text.asInt64(&err);
            if (!err) return v;
            double d = text.asDouble(&err);
            return (err || std::isnan(d) || d >= 9.2e18 || d <= -9.2e18) ? 0 : static_cast<int64_t>(d);
        }
        default:
            return 0;
    }
}

double VqbDatavar::asDouble() const {
    switch (type_) {
        case VQB_TYPE_INT:
        case VQB_TYPE_BOOL:
            return static_cast<double>(int_);
        case VQB_TYPE_REAL:
        case VQB_TYPE_DATE:
            return real_;
        case VQB_TYPE_STRING:
            return asString().asDouble();
        default:
            return 0.0;
    }
}

VqbString VqbDatavar::asString() const {
    switch (type_) {
        case VQB_TYPE_INT:
            return VqbString(std::to_string(int_));
        case VQB_TYPE_BOOL:
            return VqbString(int_ ? "true" : "false");
        case VQB_TYPE_REAL:
        case VQB_TYPE_DATE: {
            char buf[40];
            // Whole numbers print without exponent; others in the shortest text that reads back
            // to the same value.
            if (std::isfinite(real_) && real_ == std::floor(real_) && std::fabs(real_) < 1e15) {
                std::snprintf(buf, sizeof buf, "%.0f", real_);
                return VqbString(buf);
            }
            std::snprintf(buf, sizeof buf, "%.17g", real_);
            for (int prec = 1; prec < 17; ++prec) {
                char shortBuf[40];
                std::snprintf(shortBuf, sizeof shortBuf, "%.*g", prec, real_);
                if (std::strtod(shortBuf, nullptr) == real_) return VqbString(shortBuf);
            }
            return VqbString(buf);
        }
        case VQB_TYPE_STRING:
            return VqbString(textData(), textSize());
        default:
            return VqbString();
    }
}

bool VqbDatavar::asBool() const {
    if (type_ == VQB_TYPE_STRING) return asString().asBool();
    return asInt64() != 0 || (type_ == VQB_TYPE_REAL && real_ != 0.0);
}

VqbDate VqbDatavar::asDate() const {
    if (type_ == VQB_TYPE_NULL) return VqbDate();
    return VqbDate(asDouble());
}

bool VqbDatavar::operator==(const VqbDatavar& other) const {
    if (type_ != other.type_) return false;
    switch (type_) {
        case VQB_TYPE_NULL:
            return true;
        case VQB_TYPE_INT:
        case VQB_TYPE_BOOL:
            return int_ == other.int_;
        case VQB_TYPE_REAL:
        case VQB_TYPE_DATE:
            return real_ == other.real_;
        default:
            return textSize() == other.textSize() && std::memcmp(textData(), other.textData(), textSize()) == 0;
    }
}
