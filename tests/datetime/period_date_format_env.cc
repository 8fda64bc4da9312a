// Runs with NQ_DATEOUTPUTFMT=%Y%m%d: a set format survives the first locale guard; the unset
// time format is decided by the time locale ("C" here, not "en_UK").
#include <gtest/gtest.h>

#include "qelkit/datetime/qel_locale_snapshot.h"

namespace {

TEST(PeriodDateFormat, SetFormatSurvivesTheFirstGuard) {
    EXPECT_STREQ("%Y%m%d", __envDateOutputFmt.value());
    EXPECT_FALSE(__envTimeOutputFmt.hasValue());
    EXPECT_STREQ("%Y%m%d", QelLocaleSnapshot::dateOutputFormat().data());
    EXPECT_STREQ("%H:%M:%S", QelLocaleSnapshot::timeOutputFormat().data());
    { const QelLocaleSnapshot guard("de"); }
    EXPECT_STREQ("%Y%m%d", QelLocaleSnapshot::dateOutputFormat().data());
    EXPECT_STREQ("%H:%M:%S", QelLocaleSnapshot::timeOutputFormat().data());
}

}  // namespace
