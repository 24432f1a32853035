# Every third-party library comes from Debian packages (scripts/setup.sh).
find_package(Threads REQUIRED)
find_package(fmt REQUIRED)
find_package(spdlog REQUIRED)
find_package(RapidJSON REQUIRED)
find_package(Eigen3 REQUIRED NO_MODULE)
find_package(Qt6 REQUIRED COMPONENTS Core)
find_package(PkgConfig REQUIRED)
pkg_check_modules(JSONCPP REQUIRED IMPORTED_TARGET jsoncpp)
pkg_check_modules(LIBEVENT REQUIRED IMPORTED_TARGET libevent libevent_pthreads libevent_extra)
pkg_check_modules(MODBUS REQUIRED IMPORTED_TARGET libmodbus)
pkg_check_modules(LUA REQUIRED IMPORTED_TARGET lua5.3)

find_path(SIMPLEINI_INCLUDE_DIR SimpleIni.h REQUIRED)
add_library(zelor_simpleini INTERFACE)
target_include_directories(zelor_simpleini SYSTEM INTERFACE ${SIMPLEINI_INCLUDE_DIR})

add_library(zelor_rapidjson INTERFACE)
target_include_directories(zelor_rapidjson SYSTEM INTERFACE ${RAPIDJSON_INCLUDE_DIRS})
# Everywhere, so that every copy of RapidJSON's inline code agrees: a getter
# used on a value of the wrong type throws instead of aborting the process.
target_compile_options(zelor_rapidjson INTERFACE
  "$<$<COMPILE_LANGUAGE:CXX>:SHELL:-include ${CMAKE_SOURCE_DIR}/lib/common/util/rapidjson_throw.h>")

# zelor_add_library(<name> <OBJECT|SHARED|STATIC|MODULE> DIRS <dir>... [EXCLUDE <regex>])
# Collects every .cpp/.c below the given folders (relative to the current
# source folder). New files join their target when CMake re-runs, which the
# CONFIGURE_DEPENDS glob triggers by itself. A folder that holds no source yet
# gets an empty translation unit so the target still builds.
function(zelor_add_library name kind)
  cmake_parse_arguments(ARG "" "EXCLUDE" "DIRS" ${ARGN})
  set(sources)
  foreach(dir IN LISTS ARG_DIRS)
    cmake_path(ABSOLUTE_PATH dir BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE OUTPUT_VARIABLE base)
    string(REGEX REPLACE "/$" "" base "${base}")
    file(GLOB_RECURSE found CONFIGURE_DEPENDS ${base}/*.cpp ${base}/*.c)
    list(APPEND sources ${found})
  endforeach()
  if(ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${ARG_EXCLUDE}")
  endif()
  if(NOT sources)
    set(empty ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    if(NOT EXISTS ${empty})
      file(WRITE ${empty} "// Nothing here yet.\n")
    endif()
    set(sources ${empty})
  endif()
  add_library(${name} ${kind} ${sources})
endfunction()

# Limits a shared library's dynamic symbols to its list in cmake/exports/.
function(zelor_export_map target)
  set(map ${CMAKE_SOURCE_DIR}/cmake/exports/${target}.map)
  target_link_options(${target} PRIVATE -Wl,--version-script=${map})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${map})
endfunction()
