# SPDX-License-Identifier: Apache-2.0
# RWZone::os() reads TZ once per process: one executable per zone checks it against glibc.
# Lord Howe shifts by 30 minutes, Kathmandu sits at +05:45 with no daylight time, and the last
# one is a POSIX rule rather than a zone file.
foreach(entry
    "new_york|America/New_York"
    "london|Europe/London"
    "lord_howe|Australia/Lord_Howe"
    "kathmandu|Asia/Kathmandu"
    "posix_rule|EST5EDT,M3.2.0,M11.1.0")
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 zone)
  qelkit_add_env_test(qelkit_zone_${name}_test ${CMAKE_CURRENT_SOURCE_DIR}/zone_os_env.cc
                      TZ=${zone})
endforeach()
