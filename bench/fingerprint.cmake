# Picture fingerprints: the cost per row and the grouping of many rows.
add_executable(fingerprint_bench fingerprint_bench.cpp)
target_link_libraries(fingerprint_bench PRIVATE bildoro_capture)
