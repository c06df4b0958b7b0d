# Batch benchmark: `ninja batch_bench` (or bench/batch_bench.sh BUILD_DIR) times bildoro-batch against a Chromium
# process per URL and the cutycapt grabber per URL on generated local pages, and samples bildoro-batch's memory
# over 500 rows. Takes about ten minutes on a quiet machine; writes bench/batch_bench_report.md in the build folder.
add_custom_target(batch_bench
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/batch_bench.sh ${CMAKE_BINARY_DIR}
  DEPENDS bildoro-batch
  USES_TERMINAL
  COMMENT "Batch benchmark (see bench/README-batch.md)")
