# Thumbnail filters: exact and smooth against ImageMagick's Lanczos on the bench corpus (bench/README-filters.md).
# `ninja filter_bench_run` makes the captures and the references and runs filter_bench on them.
add_executable(filter_bench filter_bench.cpp)
target_link_libraries(filter_bench PRIVATE bildoro_capture)
# With libvips at hand the bench also measures its Lanczos3 reduction, which the smooth filter was weighed
# against; the program itself never links it.
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
  pkg_check_modules(BILDORO_VIPS QUIET IMPORTED_TARGET vips)
endif()
if(BILDORO_VIPS_FOUND)
  target_link_libraries(filter_bench PRIVATE PkgConfig::BILDORO_VIPS)
  # GLib's headers use the names Qt's keywords take.
  target_compile_definitions(filter_bench PRIVATE BILDORO_BENCH_VIPS QT_NO_KEYWORDS)
endif()
add_custom_target(filter_bench_run
  COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/filter_bench.py --batch $<TARGET_FILE:bildoro-batch>
          --bench $<TARGET_FILE:filter_bench> --report ${CMAKE_CURRENT_BINARY_DIR}/filter_bench_report.md
  DEPENDS bildoro-batch filter_bench
  USES_TERMINAL
  COMMENT "Thumbnail filter benchmark (see bench/README-filters.md)")
