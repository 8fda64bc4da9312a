# SPDX-License-Identifier: Apache-2.0
# The date and time classes under the operating system's zone, read from TZ once per process.
qelkit_add_env_test(qelkit_time_london_test ${CMAKE_CURRENT_SOURCE_DIR}/time_london_env.cc
                    TZ=Europe/London)
