// Platform values: variant, date and nullable real.
#ifndef VQB_DATAVAR_H
#define VQB_DATAVAR_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

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

// The type codes and one payload in 24 bytes. A short text lives in place; a longer one is an
// immutable shared block. Either way copying a value (a cursor handing out a cached row)
// allocates nothing.
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
    // A text of the given bytes, never null.
    VqbDatavar(const char* v, size_t bytes);
    VqbDatavar(const VqbString& v);
    VqbDatavar(const std::string& v) : type_(VQB_TYPE_STRING) { setText(v.data(), v.size()); }
    static VqbDatavar fromBool(bool v);

    VqbDatavar(const VqbDatavar& other) { take(other); share(); }
    VqbDatavar(VqbDatavar&& other) noexcept {
        take(other);
        other.type_ = VQB_TYPE_NULL;
    }
    VqbDatavar& operator=(const VqbDatavar& other) {
        if (this == &other) return *this;
        other.share();
        drop();
        take(other);
        return *this;
    }
    VqbDatavar& operator=(VqbDatavar&& other) noexcept {
        if (this == &other) return *this;
        drop();
        take(other);
        other.type_ = VQB_TYPE_NULL;
        return *this;
    }
    ~VqbDatavar() { drop(); }

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
    // The bytes of a text value without copying them; empty for other types.
    const char* textData() const;
    size_t textSize() const;

    bool operator==(const VqbDatavar& other) const;
    bool operator!=(const VqbDatavar& other) const { return !(*this == other); }

private:
    struct Text {
        std::atomic<uint32_t> refs;
        size_t size;
        char bytes[1];
    };
    static constexpr uint8_t kInPlace = 16;
    static constexpr uint8_t kShared = 0xFF;
    // Type must be set to a text by the caller.
    void setText(const char* bytes, size_t size);
    static void freeText(Text* text);
    bool shared() const { return type_ == VQB_TYPE_STRING && small_ == kShared; }
    void take(const VqbDatavar& other) {
        type_ = other.type_;
        small_ = other.small_;
        declared_ = other.declared_;
        std::memcpy(bytes_, other.bytes_, kInPlace);
    }
    void share() const {
        if (shared()) text_->refs.fetch_add(1, std::memory_order_relaxed);
    }
    void drop() {
        if (shared() && text_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) freeText(text_);
    }

    uint8_t type_ = VQB_TYPE_NULL;
    // Bytes of a text held in place, or kShared.
    uint8_t small_ = 0;
    int declared_ = VQB_TYPE_NULL;
    union {
        int64_t int_ = 0;
        double real_;
        Text* text_;
        char bytes_[kInPlace];
    };
};

#endif
