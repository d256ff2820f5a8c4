# GoogleTest for a cross build, built from Debian's source package (googletest),
# since the host's own GTest libraries cannot be linked into a Windows program.
set(ROSE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
if(NOT EXISTS ${ROSE_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources in ${ROSE_GTEST_SOURCE}: install Debian's "
    "googletest package (scripts/install-deps does)")
endif()
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Its code is not held to our warning flags.
get_directory_property(rose_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
add_subdirectory(${ROSE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${rose_options}")
foreach(lib gtest gtest_main)  # names as find_package(GTest) gives them, where the sources lack them
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()
