#include "qelkit/foundation/nq_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// value() as a comparable text; "<null>" for a null pointer.
std::string shown(const char* value) { return value != nullptr ? value : "<null>"; }

TEST(Environment, SetEmptyUnsetAndDefaultGiveValueAndFlag) {
    ::setenv("QELKIT_TEST_ON", "yes", 1);
    ::setenv("QELKIT_TEST_EMPTY", "", 1);
    ::unsetenv("QELKIT_TEST_UNSET");
    struct Case {
        const char* name;
        const char* defaultValue;
        const char* value;
        bool hasValue;
        bool on;
    } const cases[] = {
        {"QELKIT_TEST_ON", nullptr, "yes", true, true},
        {"QELKIT_TEST_ON", "dflt", "yes", true, true},
        {"QELKIT_TEST_EMPTY", nullptr, "", true, false},
        {"QELKIT_TEST_EMPTY", "dflt", "", true, false},
        {"QELKIT_TEST_UNSET", nullptr, "<null>", false, false},
        {"QELKIT_TEST_UNSET", "dflt", "dflt", true, false},
        {"QELKIT_TEST_UNSET", "", "", true, false},
    };
    for (const Case& c : cases) {
        const NqEnvironment env(c.name, c.defaultValue);
        SCOPED_TRACE(std::string(c.name) + " default " + shown(c.defaultValue));
        EXPECT_EQ(c.value, shown(env.value()));
        EXPECT_EQ(c.hasValue, env.hasValue());
        EXPECT_EQ(c.on, env.isOn());
        EXPECT_STREQ(c.name, env.name());
    }
}

TEST(Environment, ReadsOnceAndCopiesTheText) {
    ::setenv("QELKIT_TEST_CHANGE", "before", 1);
    std::string defaultText = "fallback";
    const NqEnvironment env("QELKIT_TEST_CHANGE");
    const NqEnvironment withDefault("QELKIT_TEST_UNSET_TOO", defaultText.c_str());
    ::setenv("QELKIT_TEST_CHANGE", "after, and longer than before", 1);
    defaultText.assign("overwritten");
    EXPECT_STREQ("before", env.value());
    EXPECT_STREQ("fallback", withDefault.value());
    ::unsetenv("QELKIT_TEST_CHANGE");
    EXPECT_TRUE(env.isOn());
}

}  // namespace
