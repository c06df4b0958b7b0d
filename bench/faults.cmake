# Soak run of bildoro-batch (bench/soak.sh): `cmake --build build --target soak` runs 2,000 rows and prints the
# resource table. Not a test: it takes minutes and uses both cores.
add_custom_target(soak
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/soak.sh ${CMAKE_BINARY_DIR}
  DEPENDS bildoro-batch
  USES_TERMINAL
  COMMENT "bildoro-batch soak run over 2,000 local pages")
