# Pictures: bitmap, MulDiv, JPEG object, resampler, reduction, preview pane, --shrink.
bildoro_test(mul_div_test SOURCES mul_div_test.cpp LIBS bildoro_capture)
bildoro_test(bitmap24_test SOURCES bitmap24_test.cpp LIBS bildoro_capture)
bildoro_test(jpeg_image_test SOURCES jpeg_image_test.cpp LIBS bildoro_capture JPEG::JPEG)
bildoro_test(bilinear_resampler_test SOURCES bilinear_resampler_test.cpp LIBS bildoro_capture)
bildoro_test(thumbnail_test SOURCES thumbnail_test.cpp LIBS bildoro_capture)
bildoro_test(preview_image_test SOURCES preview_image_test.cpp LIBS bildoro_viewer GUI)
bildoro_test(shrink_cli_test SOURCES shrink_cli_test.cpp LIBS bildoro_capture)
add_dependencies(shrink_cli_test bildoro-batch)
