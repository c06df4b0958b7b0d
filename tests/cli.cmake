# bildoro-batch run as a separate program.
bildoro_test(batch_cli_test SOURCES batch_cli_test.cpp LIBS bildoro_test_http bildoro_cli TIMEOUT 300
             LABELS browser)
bildoro_test(row_pipeline_test SOURCES row_pipeline_test.cpp LIBS bildoro_capture)
bildoro_test(capture_options_test SOURCES capture_options_test.cpp LIBS bildoro_capture)
# The recipe for many machines (GNU parallel over ssh) end to end against a private sshd on this machine.
add_test(NAME many_machines_test
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/many_machines_test.sh ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
set_tests_properties(many_machines_test PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77 LABELS "browser;machines")
set_tests_properties(batch_cli_test PROPERTIES COST 30)
set_tests_properties(many_machines_test PROPERTIES COST 25)
