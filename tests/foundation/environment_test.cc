// SPDX-License-Identifier: Apache-2.0
#include "qelkit/foundation/nq_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(Environment, ValueFlagAndDefaultAreReadOnceAndCopied) {
    ::setenv("QELKIT_TEST_ON", "yes", 1);
    ::setenv("QELKIT_TEST_EMPTY", "", 1);
    ::unsetenv("QELKIT_TEST_UNSET");
    std::string defaultText = "dflt";
    // name, default, then the value and isOn() expected
    const struct {
        const char *name, *defaultValue, *value;
        bool on;
    } cases[] = {{"QELKIT_TEST_ON", "dflt", "yes", true},
                 {"QELKIT_TEST_EMPTY", "dflt", "", false},  // empty is a value, not a default
                 {"QELKIT_TEST_UNSET", nullptr, nullptr, false},
                 {"QELKIT_TEST_UNSET", defaultText.c_str(), "dflt", false}};  // never turns on
    for (const auto& c : cases) {
        defaultText.assign("dflt");  // short texts: the buffer stays where cases[3] points
        const NqEnvironment env(c.name, c.defaultValue);
        ::setenv(c.name, "changed later", 1);
        defaultText.assign("overwritten");
        SCOPED_TRACE(std::string(c.name) + " default " + (c.defaultValue ? "set" : "none"));
        EXPECT_STREQ(c.value, env.value());
        EXPECT_EQ(c.value != nullptr, env.hasValue());
        EXPECT_EQ(c.on, env.isOn());
        EXPECT_STREQ(c.name, env.name());
        ::unsetenv(c.name);
    }
}

}  // namespace
