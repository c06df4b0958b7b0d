# Gallery: the grid on a folder of many thumbnails, and the screenshot tool for the documentation.
find_package(Qt6 REQUIRED COMPONENTS Test)
add_executable(gallery_bench gallery_bench.cpp ${CMAKE_SOURCE_DIR}/tests/test_support.cpp)
target_include_directories(gallery_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(gallery_bench PRIVATE bildoro_app Qt6::Test)
add_executable(gallery_shot gallery_shot.cpp)
target_link_libraries(gallery_shot PRIVATE bildoro_app Qt6::Test)
