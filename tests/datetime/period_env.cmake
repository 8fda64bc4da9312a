# Period, locale and zone settings read once at load time, each tested in a process started
# with them.
qelkit_add_env_test(qelkit_period_date_format_test
  ${CMAKE_CURRENT_SOURCE_DIR}/period_date_format_env.cc NQ_DATEOUTPUTFMT=%Y%m%d)
qelkit_add_env_test(qelkit_period_time_format_test
  ${CMAKE_CURRENT_SOURCE_DIR}/period_time_format_env.cc NQ_TIMEOUTPUTFMT=%H.%M)
qelkit_add_env_test(qelkit_period_dst_rules_test
  ${CMAKE_CURRENT_SOURCE_DIR}/period_dst_rules_env.cc NQ_ENABLE_DST_RULES=1 TZ=Europe/London)
qelkit_add_env_test(qelkit_period_london_test
  ${CMAKE_CURRENT_SOURCE_DIR}/period_london_env.cc TZ=Europe/London)
