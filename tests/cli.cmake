# bildoro-batch run as a separate program.
bildoro_test(batch_cli_test SOURCES batch_cli_test.cpp LIBS bildoro_test_http TIMEOUT 300 LABELS browser)
bildoro_test(row_pipeline_test SOURCES row_pipeline_test.cpp LIBS bildoro_capture)
