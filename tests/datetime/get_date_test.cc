#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "qelkit/datetime/get_date.h"

namespace {

// Local wall-clock time as an RWTime; year 0 stands for the invalid time.
RWTime local(int y, int mo = 1, int d = 1, int h = 0, int mi = 0, int s = 0) {
    tm t{};
    t.tm_year = y - 1900, t.tm_mon = mo - 1, t.tm_mday = d, t.tm_hour = h, t.tm_min = mi;
    t.tm_sec = s;
    return y ? RWTime(&t) : RWTime(0UL);
}

// A DATEMSK template file for the whole test program.
class GetDateTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::FILE* f = std::fopen(path().c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("%Y-%m-%d %H:%M\n", f);
        std::fclose(f);
        setenv("DATEMSK", path().c_str(), 1);
    }
    static void TearDownTestSuite() { std::remove(path().c_str()); }
    static std::string path() { return ::testing::TempDir() + "qelkit_getdate_templates"; }
};

TEST_F(GetDateTest, TextIsReadByLocaleParserTemplatesOrFormat) {
    struct Case {
        const char* text;
        const char* format;
        RWTime want;
    };
    const Case cases[] = {
        {"04/09/2007", nullptr, local(2007, 4, 9)},
        {"04/09/07", nullptr, local(2007, 4, 9)},
        {"2007-04-09 14:09", nullptr, local(2007, 4, 9, 14, 9)},
        {"1950-04-09 10:00", nullptr, local(2050, 4, 9, 10)},
        {"2007-04-09 14:09", "", local(2007, 4, 9, 14, 9)},
        {"04/09/2007", "", local(0)},
        {"no date", nullptr, local(0)},
        {"2007-04-09 14:09:43", "%Y-%m-%d %H:%M:%S", local(2007, 4, 9, 14, 9, 43)},
        {"0050-01-02", "%Y-%m-%d", local(2050, 1, 2)},
        {"0000-01-02", "%Y-%m-%d", local(2000, 1, 2)},
        {"1968-03-01", "%Y-%m-%d", local(2068, 3, 1)},
        {"1969-01-01", "%Y-%m-%d", local(1969, 1, 1)},
        {"2007-04-09", "%H:%M", local(0)},
        {"", "%Y", local(0)},
        {nullptr, "%Y", local(0)},
        {nullptr, nullptr, local(0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetDate(c.text, c.format).time(), c.want) << (c.text ? c.text : "(null)");
}

TEST_F(GetDateTest, ConstructorsCorrectYearsBefore1969) {
    tm t{};
    t.tm_year = 50, t.tm_mon = 5, t.tm_mday = 15, t.tm_hour = 10;
    EXPECT_EQ(GetDate(&t).time(), local(2050, 6, 15, 10));
    EXPECT_EQ(GetDate(local(1968, 3, 1)).time(), local(2068, 3, 1));
    EXPECT_EQ(GetDate(local(1969)).time(), local(1969));
    EXPECT_EQ(GetDate(RWDate(1, 3, 1968)).time(), local(2068, 3, 1));
    EXPECT_EQ(GetDate(RWDate(1, 3, 1968)).date(), RWDate(1, 3, 2068));
    EXPECT_FALSE(GetDate(0L).isValid());
    EXPECT_EQ(GetDate(2177452800L).time().seconds(), 2177452800UL);
    const GetDate now;
    EXPECT_LE(now.time().seconds() - RWTime::currentTime().seconds() + 1, 2UL);
}

TEST_F(GetDateTest, FailedParseKeepsTheHeldInstantAndCopiesAreUncorrected) {
    GetDate g(local(2007, 4, 9));
    g.parseDate("x", "%Y");
    g.parseDate("no date");
    EXPECT_EQ(g.time(), local(2007, 4, 9));
    g.parseDate("1950-01-01", "%Y-%m-%d");
    EXPECT_EQ(g.time(), local(1950));
    EXPECT_EQ(GetDate(g).time(), local(1950));
    GetDate h;
    h = g;
    EXPECT_EQ(h.time(), local(1950));
    g.fixYear();
    EXPECT_EQ(g.time(), local(2050));
}

TEST_F(GetDateTest, MktimeIsPosixTimeWrappedTo32Bits) {
    const std::uint64_t posix = RWTime::posixOffset;
    EXPECT_EQ(GetDate(RWTime(0UL)).mktime(), 2117514496L);
    EXPECT_EQ(GetDate(RWTime(posix)).mktime(), 0L);
    EXPECT_EQ(GetDate(RWTime(posix + 2147483647UL)).mktime(), 2147483647L);
    EXPECT_EQ(GetDate(RWTime(posix + 2147483648UL)).mktime(), -2147483648L);
}

TEST_F(GetDateTest, TemplateParsingRunsOnSeveralThreads) {
    std::vector<std::thread> threads;
    std::vector<int> good(4, 0);
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&good, i] {
            const std::string text = "2007-04-0" + std::to_string(i + 1) + " 14:09";
            for (int n = 0; n < 50; ++n)
                good[i] += GetDate(text.c_str(), "").time() == local(2007, 4, i + 1, 14, 9);
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(good, std::vector<int>(4, 50));
}

}  // namespace
