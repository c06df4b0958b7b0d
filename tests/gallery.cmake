# Gallery: grid arithmetic, the grid control, the picture reader, the images viewer and the gallery window.
bildoro_test(grid_geometry_test SOURCES grid_geometry_test.cpp LIBS bildoro_viewer)
bildoro_test(custom_item_viewer_test GUI SOURCES custom_item_viewer_test.cpp LIBS bildoro_viewer)
bildoro_test(picture_loader_test GUI SOURCES picture_loader_test.cpp LIBS bildoro_viewer)
bildoro_test(images_viewer_test GUI SOURCES images_viewer_test.cpp LIBS bildoro_viewer)
