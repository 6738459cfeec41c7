# The real server behind the TCP/IP transport, driven from another process.
add_executable(engine_server_peer tests/tcp/server_peer_main.cpp)
target_link_libraries(engine_server_peer PRIVATE tavrin_engine_dispatch)

tavrin_test(engine_server_tcp_tests LABEL engine
  SOURCES tests/tcp/tcp_catalogue_test.cpp
  DEPS tavrin_engine_dispatch)
add_dependencies(engine_server_tcp_tests engine_server_peer)
target_compile_definitions(engine_server_tcp_tests PRIVATE SERVER_PEER_PATH="$<TARGET_FILE:engine_server_peer>")
