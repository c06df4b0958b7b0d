# Pictures: the in-place reduction of a capture against the codec floor and ImageMagick.
add_executable(shrink_bench shrink_bench.cpp)
target_link_libraries(shrink_bench PRIVATE bildoro_capture)
target_link_libraries(shrink_bench PRIVATE JPEG::JPEG)
