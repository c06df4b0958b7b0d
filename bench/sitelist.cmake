# List files: import of a large list into the window, and the reader alone.
add_executable(import_bench import_bench.cpp ${CMAKE_SOURCE_DIR}/tests/test_support.cpp)
target_include_directories(import_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(import_bench PRIVATE bildoro_app)
