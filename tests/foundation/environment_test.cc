// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/nq_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(Environment, SetEmptyUnsetAndDefaultGiveValueAndFlag) {
    ::setenv("QELKIT_TEST_ON", "yes", 1);
    ::setenv("QELKIT_TEST_EMPTY", "", 1);
    ::unsetenv("QELKIT_TEST_UNSET");
    const auto expect = [](const char* name, const char* defaultValue, const char* value, bool on) {
        const NqEnvironment env(name, defaultValue);
        SCOPED_TRACE(std::string(name) + " default " + (defaultValue ? defaultValue : "none"));
        EXPECT_STREQ(value, env.value());
        EXPECT_EQ(value != nullptr, env.hasValue());
        EXPECT_EQ(on, env.isOn());
        EXPECT_STREQ(name, env.name());
    };
    expect("QELKIT_TEST_ON", "dflt", "yes", true);
    // An empty variable is a value, not a reason for the default.
    expect("QELKIT_TEST_EMPTY", "dflt", "", false);
    expect("QELKIT_TEST_UNSET", nullptr, nullptr, false);
    expect("QELKIT_TEST_UNSET", "dflt", "dflt", false);  // a default never turns a setting on
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
