// Runs with TZ=Europe/London: period truncation across daylight-saving changes, and the zone
// guard freezing the offset in force now (whatever today's date is).
#include <date/date.h>
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "qelkit/datetime/nq_time_aggregation.h"
#include "qelkit/datetime/qel_zone.h"
#include "tests/datetime/period_reference.h"

namespace {

RWTime utc(int y, unsigned m, unsigned d, int h = 0, int mi = 0) {
    const long long days = date::sys_days(date::year(y) / m / d).time_since_epoch().count();
    return RWTime(static_cast<unsigned long>(days * 86400 + h * 3600 + mi * 60) +
                  RWTime::posixOffset);
}

NqTimeAggregation period(char code) {
    return NqTimeAggregation(static_cast<TimeAggregationType>(code));
}

// Every code and start of week over the eight days either side of changes (1968-71 British
// Standard Time included), at odd steps so that every minute of the hour comes up, and around
// each period start found.
void expectLiteralAroundChanges() {
    const RWTime changes[] = {utc(1968, 2, 18, 2),  utc(1971, 10, 31, 2), utc(2007, 3, 25, 1),
                              utc(2007, 10, 28, 1), utc(2020, 3, 29, 1),  utc(2036, 10, 26, 1)};
    for (const RWTime& change : changes) {
        for (RWTime t = change - 8 * 86400UL; t < change + 8 * 86400UL; t += 997) {
            for (const char* code = "OBFTQPHAUVDWMYN"; *code; ++code) {
                const int sow = 1 + static_cast<int>(t.seconds() % 7);
                const RWTime start = period(*code).truncate(t, sow);
                // The instant, and a second before, at and after the start found for it.
                for (const RWTime& u : {t, start - 1, start, start + 1}) {
                    ASSERT_EQ(period_reference::literalTruncate(*code, u, sow),
                              period(*code).truncate(u, sow))
                        << *code << " " << u.seconds() << " " << sow;
                }
            }
        }
    }
}

TEST(PeriodLondon, DaylightDaysFollowTheWallClock) {
    ASSERT_NE(RWZone::os().timeZoneOffset(), RWZone::os().altZoneOffset());
    const struct {
        char code;
        RWTime time, start;
    } cases[] = {
        {'D', utc(2007, 3, 25, 2, 30), utc(2007, 3, 25)},  // 03:30 BST: day began in GMT
        {'H', utc(2007, 3, 25, 2, 30), utc(2007, 3, 25, 2)},
        {'D', utc(2007, 10, 28, 12), utc(2007, 10, 27, 23)},  // day began in BST
        {'M', utc(2007, 10, 15), utc(2007, 9, 30, 23)},
        {'W', utc(2007, 10, 30, 0, 30), utc(2007, 10, 27, 23)},  // Tuesday -> Sunday 28 October
        // Monday 26 March 00:30 BST: the 24-hour step lands on Saturday 23:30 GMT, so the walk
        // passes Sunday 25 March and goes on to Sunday 18 March.
        {'W', utc(2007, 3, 25, 23, 30), utc(2007, 3, 18)}};
    for (const auto& c : cases) EXPECT_EQ(c.start, period(c.code).truncate(c.time, 7)) << c.code;
    expectLiteralAroundChanges();
}

TEST(PeriodLondon, ZoneGuardFreezesTheOffsetInForceNow) {
    tzset();
    const std::time_t now = std::time(nullptr);
    struct tm local = {};
    localtime_r(&now, &local);
    const RWZone* before = &RWZone::local();
    {
        const QelZone guard;
        const RWZone& frozen = RWZone::local();
        EXPECT_EQ(-local.tm_gmtoff, frozen.timeZoneOffset());
        EXPECT_EQ(-local.tm_gmtoff, frozen.altZoneOffset());
        EXPECT_STREQ(local.tm_zone, frozen.timeZoneName().data());
        // Noon UTC reads 12:00 GMT in January and 13:00 BST in July under the system's rules;
        // under the guard both read noon plus the frozen offset.
        const unsigned frozenHour = static_cast<unsigned>(12 + local.tm_gmtoff / 3600);
        for (const RWTime& noon : {utc(2007, 1, 15, 12), utc(2007, 7, 15, 12)}) {
            EXPECT_EQ(frozenHour, noon.hour());
        }
        EXPECT_EQ(12u, utc(2007, 1, 15, 12).hour(RWZone::os()));
        EXPECT_EQ(13u, utc(2007, 7, 15, 12).hour(RWZone::os()));
        expectLiteralAroundChanges();
    }
    EXPECT_EQ(before, &RWZone::local());
}

}  // namespace
