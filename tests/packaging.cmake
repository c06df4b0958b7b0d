# What the installed program consists of: desktop entry, manual page, icons, install tree; and the About box.
bildoro_test(about_box_test SOURCES about_box_test.cpp LIBS bildoro_app GUI TIMEOUT 60)
bildoro_test(icon_svg_test SOURCES icon_svg_test.cpp LIBS bildoro_app GUI TIMEOUT 60)
target_compile_definitions(icon_svg_test PRIVATE BILDORO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

foreach(case desktop_entry man_options man_format icon_files install_tree)
  add_test(NAME packaging_${case}
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/packaging_test.sh ${case} ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  set_tests_properties(packaging_${case} PROPERTIES TIMEOUT 60 SKIP_RETURN_CODE 77 LABELS packaging)
endforeach()
