// Runs with NQ_TIMEOUTPUTFMT=%H.%M and NQ_DATEOUTPUTFMT unset: the first locale guard, under
// the "C" time locale, switches the date format to the month-first one and keeps the set time
// format; later guards change nothing more.
#include <gtest/gtest.h>

#include <clocale>

#include "qelkit/datetime/qel_locale_snapshot.h"

namespace {

TEST(PeriodTimeFormat, FirstGuardSwitchesOnlyTheUnsetFormat) {
    EXPECT_STREQ("%H.%M", QelLocaleSnapshot::timeOutputFormat().data());
    EXPECT_STREQ("%d/%m/%Y", QelLocaleSnapshot::dateOutputFormat().data());
    ASSERT_STRNE("en_UK", std::setlocale(LC_TIME, nullptr));
    { const QelLocaleSnapshot guard("fr"); }
    EXPECT_STREQ("%m/%d/%Y", QelLocaleSnapshot::dateOutputFormat().data());
    EXPECT_STREQ("%H.%M", QelLocaleSnapshot::timeOutputFormat().data());
}

}  // namespace
