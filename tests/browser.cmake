# Browser host, Chromium process and DevTools client: tests against a local HTTP server and the real Chromium.
find_package(Qt6 REQUIRED COMPONENTS Network Gui)

# The local HTTP server, for every test executable that loads pages.
add_library(bildoro_test_http STATIC local_http_server.cpp local_http_server.h)
target_include_directories(bildoro_test_http PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(bildoro_test_http PUBLIC Qt6::Core Qt6::Gui Qt6::Network)

bildoro_test(chromium_process_test SOURCES chromium_process_test.cpp LIBS bildoro_capture TIMEOUT 120 LABELS browser)
bildoro_test(browser_host_test SOURCES browser_host_test.cpp LIBS bildoro_capture bildoro_test_http TIMEOUT 180
             LABELS browser)
bildoro_test(devtools_client_test SOURCES devtools_client_test.cpp LIBS bildoro_capture TIMEOUT 120 LABELS browser)
bildoro_test(consent_test SOURCES consent_test.cpp LIBS bildoro_capture)
bildoro_test(run_engine_test SOURCES run_engine_test.cpp fake_chromium.h LIBS bildoro_capture TIMEOUT 60)
