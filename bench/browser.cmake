# Browser host: navigate-to-complete and the stages of one capture, on a local page in the real Chromium.
find_package(Qt6 REQUIRED COMPONENTS Network)
add_executable(capture_bench capture_bench.cpp ${CMAKE_SOURCE_DIR}/tests/local_http_server.cpp)
target_include_directories(capture_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(capture_bench PRIVATE bildoro_capture Qt6::Network)
