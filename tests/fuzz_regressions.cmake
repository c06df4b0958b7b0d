# Fuzzing: the saved inputs of tests/data/fuzz-regressions replayed through the fuzzed entry points.
bildoro_test(fuzz_regressions_test SOURCES fuzz_regressions_test.cpp ${CMAKE_SOURCE_DIR}/fuzz/fuzz_entry_points.cpp
             LIBS bildoro_sitelist bildoro_capture)
target_include_directories(fuzz_regressions_test PRIVATE ${CMAKE_SOURCE_DIR}/fuzz)
