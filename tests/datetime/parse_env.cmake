# GetDate and NqStringToDate read their switches once at load time, so each setting gets a
# process of its own. TZ pins the local times the expectations are written in.
qelkit_add_env_test(qelkit_parse_getdate_trace_test
  ${CMAKE_CURRENT_SOURCE_DIR}/parse_getdate_trace_env.cc NQ_TRACE_GETDATE=1 TZ=Europe/London)
qelkit_add_env_test(qelkit_parse_convert_trace_test
  ${CMAKE_CURRENT_SOURCE_DIR}/parse_convert_trace_env.cc NQ_TRACE_DATECONVERT=1 TZ=UTC)
qelkit_add_env_test(qelkit_parse_broken_mdy_test
  ${CMAKE_CURRENT_SOURCE_DIR}/parse_broken_env.cc NQ_USE_BROKEN_DATECONVERT=1 TZ=UTC)
qelkit_add_env_test(qelkit_parse_broken_dmy_test
  ${CMAKE_CURRENT_SOURCE_DIR}/parse_broken_env.cc NQ_USE_BROKEN_DATECONVERT=1
  NQ_AMBIGUOUS_DATEFORMAT=D/M/Y TZ=UTC)
qelkit_add_env_test(qelkit_parse_gap_test
  ${CMAKE_CURRENT_SOURCE_DIR}/parse_gap_env.cc TZ=America/Sao_Paulo)
