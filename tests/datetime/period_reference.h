// Test helpers for period truncation: the truncation walked step by step through RWDateTime
// exactly as the period rules describe it (24-hour steps, weekday tests), to compare the
// library's arithmetic against, and a guard that installs a local zone for one scope.
#ifndef QELKIT_TESTS_DATETIME_PERIOD_REFERENCE_H
#define QELKIT_TESTS_DATETIME_PERIOD_REFERENCE_H

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/foundation/rw_date_time.h"
#include "qelkit/foundation/rw_zone.h"

namespace period_reference {

constexpr rwint64 DAY_MS = 86400000;

inline RWDateTime walkBack(RWDateTime dt, unsigned sow) {
    while (dt.isValid() && dt.weekDay() != sow) dt.decrementMillisecond(DAY_MS);
    return dt;
}

// Truncation of a valid instant, literally; startOfWeek 1..7.
inline RWTime literalTruncate(char code, const RWTime& time, unsigned sow) {
    const RWDateTime w(time, 0);
    const unsigned h = w.hour(), mi = w.minute(), d = w.dayOfMonth(), m = w.month(), y = w.year();
    auto at = [](unsigned dd, unsigned mm, unsigned yy, unsigned hh, unsigned mn) {
        return RWDateTime(dd, mm, yy, hh, mn, 0, 0).toRWTime();
    };
    switch (code) {
        case 'O':
            return at(d, m, y, h, mi);
        case 'B':
            return at(d, m, y, h, mi / 2 * 2);
        case 'F':
            return at(d, m, y, h, mi / 5 * 5);
        case 'T':
            return at(d, m, y, h, mi / 10 * 10);
        case 'Q':
            return at(d, m, y, h, mi / 15 * 15);
        case 'P':
            return at(d, m, y, h, mi / 30 * 30);
        case 'H':
            return at(d, m, y, h, 0);
        case 'D':
            return at(d, m, y, 0, 0);
        case 'M':
            return at(1, m, y, 0, 0);
        case 'V':
            return at(1, m, y, h, 0);
        case 'A':
            return at(1, 1, 1970, 0, 0);
        case 'W':
        case 'U': {
            const RWDateTime s = walkBack(w, sow);
            return at(s.dayOfMonth(), s.month(), s.year(), code == 'U' ? h : 0, 0);
        }
        case 'Y':
            for (unsigned yy = y + 1;; --yy) {
                RWDateTime c(1, 1, yy);
                while (c.weekDay() != 4) c.incrementMillisecond(DAY_MS);
                c = walkBack(c, sow);
                if (c <= w) return c.toRWTime();
            }
        default:
            return w.toRWTime();
    }
}

// Installs `zone` as the local zone for one scope.
class LocalZone {
  public:
    explicit LocalZone(const RWZone& zone) : previous_(RWZone::local(&zone)) {}
    ~LocalZone() { RWZone::local(previous_); }
    LocalZone(const LocalZone&) = delete;
    LocalZone& operator=(const LocalZone&) = delete;

  private:
    const RWZone* previous_;
};

}  // namespace period_reference

#endif  // QELKIT_TESTS_DATETIME_PERIOD_REFERENCE_H
