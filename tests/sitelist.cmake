# Website list files: SplitByDelimiter, the reader and writer, the window's export and import, the dry run.
bildoro_test(split_by_delimiter_test SOURCES split_by_delimiter_test.cpp LIBS bildoro_sitelist)
bildoro_test(list_file_test SOURCES list_file_test.cpp LIBS bildoro_sitelist)
bildoro_test(list_file_commands_test GUI SOURCES list_file_commands_test.cpp LIBS bildoro_app)
bildoro_test(dry_run_test SOURCES dry_run_test.cpp LIBS bildoro_cli)
add_dependencies(dry_run_test bildoro-batch)
