# Main window: the screenshot tool for the documentation (a real run over the example pages).
find_package(Qt6 REQUIRED COMPONENTS Test)
if(TARGET bildoro_test_http)  # its 404 page comes from the tests' small HTTP server
  add_executable(main_window_shot main_window_shot.cpp)
  target_link_libraries(main_window_shot PRIVATE bildoro_app bildoro_test_http Qt6::Test)
endif()
