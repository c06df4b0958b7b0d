# Main window, its settings rules, dialogs and gauge.
bildoro_test(settings_rules_test SOURCES settings_rules_test.cpp LIBS bildoro_app)
bildoro_test(main_window_test GUI SOURCES main_window_test.cpp fake_dialogs.h LIBS bildoro_app)
bildoro_test(batch_run_test GUI SOURCES batch_run_test.cpp fake_dialogs.h leftover_check.h LIBS bildoro_app bildoro_test_http
             TIMEOUT 300 LABELS browser)
