# SPDX-License-Identifier: Apache-2.0
# RWZone::os() reads TZ once per process: one executable per zone checks it against glibc.
# Lord Howe shifts by 30 minutes, Kathmandu sits at +05:45 with no daylight time; then a POSIX
# rule, and two values that name a daylight time without rules, which glibc applies to the
# "posixrules" file (the in-process comparisons leave those out: see tz_glibc_internal_test.cc).
foreach(entry
    "new_york|America/New_York"
    "london|Europe/London"
    "lord_howe|Australia/Lord_Howe"
    "kathmandu|Asia/Kathmandu"
    "posix_rule|EST5EDT,M3.2.0,M11.1.0"
    "default_rules|EST5EDT"
    "odd_default_rules|AAA+03:00:30BBB+02")
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 zone)
  qelkit_add_env_test(qelkit_zone_${name}_test ${CMAKE_CURRENT_SOURCE_DIR}/zone_os_env.cc
                      TZ=${zone})
endforeach()
