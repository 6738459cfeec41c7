# The request dispatcher and the server log: the server's consumer of
# complete requests, between the comms engine and the server engine.
tavrin_library(tavrin_engine_dispatch
  SOURCES
    command_handler.cpp
    request_catalogue.cpp
    server_log.cpp
  DEPS tavrin_engine_rebuild tavrin_engine_server tavrin_engine_comms)

tavrin_test(engine_dispatch_tests LABEL engine
  SOURCES
    tests/dispatch/server_log_test.cpp
    tests/dispatch/command_handler_test.cpp
    tests/dispatch/end_to_end_test.cpp
  DEPS tavrin_engine_dispatch)

tavrin_fuzz(engine_dispatch_fuzz LABEL engine
  SOURCES tests/dispatch/dispatch_fuzz.cpp
  DEPS tavrin_engine_dispatch
  SEEDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/dispatch/fuzz_seeds)
