# The stage times of bildoro-batch that the batch benchmark reads.
bildoro_test(batch_timings_test SOURCES batch_timings_test.cpp LIBS bildoro_test_http TIMEOUT 120 LABELS browser)
add_dependencies(batch_timings_test bildoro-batch)
