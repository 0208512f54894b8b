// Platform values: variant, date and nullable real.
#ifndef VQB_DATAVAR_H
#define VQB_DATAVAR_H

#include <cstdint>

#include "vqbstring.h"

// Value type codes shared by variants, catalogue records and column specs.
enum VqbTypeCode {
    VQB_TYPE_NULL = 0,
    VQB_TYPE_BOOL = 1,
    VQB_TYPE_INT = 2,
    VQB_TYPE_REAL = 3,
    VQB_TYPE_STRING = 4,
    VQB_TYPE_DATE = 5,
};

// A date: days since 30 December 1899 with the time of day as the fraction, local time.
class VqbDate {
public:
    VqbDate() = default;  // null
    explicit VqbDate(double days) : days_(days), null_(false) {}
    static VqbDate currentDate();
    // Calendar fields in local time; month 1..12.
    static VqbDate fromParts(int year, int month, int day, int hour = 0, int minute = 0, double second = 0);
    bool isNull() const { return null_; }
    double asDouble() const { return null_ ? 0.0 : days_; }
    VqbString asString() const;  // "YYYY-MM-DD hh:mm:ss"; empty when null

private:
    double days_ = 0.0;
    bool null_ = true;
};

class VqbReal {
public:
    VqbReal() = default;  // null
    VqbReal(double v) : value_(v), null_(false) {}
    bool isNull() const { return null_; }
    double asDouble() const { return null_ ? 0.0 : value_; }
    void setNull() { null_ = true; value_ = 0.0; }

private:
    double value_ = 0.0;
    bool null_ = true;
};

class VqbDatavar {
public:
    VqbDatavar() = default;  // null
    VqbDatavar(int v) : type_(VQB_TYPE_INT), int_(v) {}
    VqbDatavar(unsigned v) : type_(VQB_TYPE_INT), int_(v) {}
    VqbDatavar(long v) : type_(VQB_TYPE_INT), int_(v) {}
    VqbDatavar(long long v) : type_(VQB_TYPE_INT), int_(v) {}
    VqbDatavar(unsigned long v) : type_(VQB_TYPE_INT), int_(static_cast<int64_t>(v)) {}
    VqbDatavar(unsigned long long v) : type_(VQB_TYPE_INT), int_(static_cast<int64_t>(v)) {}
    VqbDatavar(double v) : type_(VQB_TYPE_REAL), real_(v) {}
    VqbDatavar(const VqbReal& v);
    VqbDatavar(const VqbDate& v);
    VqbDatavar(const char* v);
    VqbDatavar(const VqbString& v);
    VqbDatavar(const std::string& v) : type_(VQB_TYPE_STRING), str_(v) {}
    static VqbDatavar fromBool(bool v);

    int getType() const { return type_; }
    bool isNull() const { return type_ == VQB_TYPE_NULL; }
    void setNull();
    // Declares the type of a value; a null keeps being null (its declared type is kept apart).
    void setType(int type);
    int declaredType() const { return declared_; }

    // asInt takes the low 32 bits of the 64-bit value.
    int asInt() const { return static_cast<int>(static_cast<uint32_t>(asInt64())); }
    int64_t asInt64() const;
    double asDouble() const;
    VqbString asString() const;  // integers in decimal, reals with up to 17 significant digits
    bool asBool() const;
    VqbDate asDate() const;

    bool operator==(const VqbDatavar& other) const;
    bool operator!=(const VqbDatavar& other) const { return !(*this == other); }

private:
    int type_ = VQB_TYPE_NULL;
    int declared_ = VQB_TYPE_NULL;
    int64_t int_ = 0;
    double real_ = 0.0;
    VqbString str_;
};

#endif
