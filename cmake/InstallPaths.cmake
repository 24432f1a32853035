# Reads config/paths.env and generates the C++ header with the same paths.
file(STRINGS ${CMAKE_SOURCE_DIR}/config/paths.env _zelor_path_lines REGEX "^[A-Z_]+=")
foreach(_line IN LISTS _zelor_path_lines)
  string(REGEX MATCH "^([A-Z_]+)=(.*)$" _ ${_line})
  set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/config/paths.env)
configure_file(${CMAKE_SOURCE_DIR}/cmake/install_paths.h.in
  ${CMAKE_BINARY_DIR}/generated/install_paths.h @ONLY)
