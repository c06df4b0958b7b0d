# Faults injected into whole batch runs (window and bildoro-batch) with the real Chromium, and bad input of
# every kind the user can give.
bildoro_test(fault_injection_test GUI SOURCES fault_injection_test.cpp leftover_check.h fake_dialogs.h
             LIBS bildoro_app bildoro_test_http TIMEOUT 900 LABELS browser)
bildoro_test(bad_input_test GUI SOURCES bad_input_test.cpp leftover_check.h fake_dialogs.h
             LIBS bildoro_app bildoro_test_http TIMEOUT 600 LABELS browser)
# Hostile pages of the web (endless scripts, dialog loops, refreshes, downloads, documents that never come) in
# whole runs of bildoro-batch and the window.
bildoro_test(hostile_pages_test GUI SOURCES hostile_pages_test.cpp leftover_check.h fake_dialogs.h test_pages.h
             batch_process.h LIBS bildoro_app bildoro_test_http TIMEOUT 900 LABELS browser)
add_dependencies(hostile_pages_test bildoro-batch)
# The longest runs start first (ctest starts the tests of higher cost first), so that on a fresh build,
# without the timings of an earlier run, the two cores end together.
set_tests_properties(fault_injection_test PROPERTIES COST 80)
set_tests_properties(hostile_pages_test PROPERTIES COST 50)
