# GoogleTest for both trees: the system package natively; for Windows, the Debian sources built
# with the cross compiler, since no MinGW build of it is packaged.
if(CMAKE_CROSSCOMPILING)
  set(ORVEK_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
  if(NOT EXISTS ${ORVEK_GTEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "GoogleTest sources not found at ${ORVEK_GTEST_SOURCE}: install the Debian package 'googletest' (scripts/setup does)")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${ORVEK_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

# Registers a GoogleTest executable. Natively every case is its own test; under Wine each
# executable runs once, as every start of a Wine process costs far more than a case.
function(orvek_add_gtest target)
  target_link_libraries(${target} PRIVATE GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
  else()
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST)
  endif()
endfunction()
