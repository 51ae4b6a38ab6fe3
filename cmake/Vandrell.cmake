# Project-wide flags and helpers shared by every area's CMakeLists.txt.

set(VANDRELL_ROOT ${CMAKE_SOURCE_DIR})
set(VANDRELL_DEPS_PREFIX "" CACHE PATH "Prefix of the target libraries built by scripts/build-deps.sh")

if(WIN32)
  add_compile_definitions(WINVER=0x0501 _WIN32_WINNT=0x0501 _WIN32_IE=0x0600 NOMINMAX
                          _CRT_SECURE_NO_WARNINGS STRICT)
  add_compile_options(-Wall -Wno-unknown-pragmas -Wno-missing-field-initializers)
  # Static runtime: the program and libraries run on a bare Windows or Wine.
  set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
  set(CMAKE_SHARED_LINKER_FLAGS "${CMAKE_SHARED_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
  set(VANDRELL_TESTDATA_ENV "S:\\tests\\data")
else()
  add_compile_options(-Wall -Wno-unknown-pragmas)
  if(VANDRELL_NATIVE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
  endif()
  set(VANDRELL_TESTDATA_ENV "${CMAKE_SOURCE_DIR}/tests/data")
endif()

# vandrell_layer(target folder...)
# The include path of a helper library holds only the folders it may
# include: a folder of links in the build tree (its own folder and the ones
# below it) and include/. An include of anything above it then fails to
# compile; scripts/check-layout checks the same rule on the sources.
function(vandrell_layer target)
  set(view ${CMAKE_BINARY_DIR}/layers/${target})
  file(MAKE_DIRECTORY ${view})
  foreach(folder ${ARGN})
    if(NOT IS_SYMLINK ${view}/${folder})
      file(CREATE_LINK ${VANDRELL_ROOT}/${folder} ${view}/${folder} SYMBOLIC)
    endif()
  endforeach()
  target_include_directories(${target} PUBLIC ${view} ${VANDRELL_ROOT}/include)
endfunction()

# GoogleTest from Debian's source package, built by the same compiler.
set(VANDRELL_GTEST_SRC /usr/src/googletest CACHE PATH "GoogleTest sources")
if(EXISTS ${VANDRELL_GTEST_SRC}/CMakeLists.txt AND NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${VANDRELL_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# vandrell_gtest(NAME n SOURCES ... [LIBS ...] [TIMEOUT s] [LABELS ...])
# A GoogleTest program registered as one CTest test. In the cross build CTest
# runs it under Wine in the sandbox; natively it runs with the sanitizers.
function(vandrell_gtest)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gmock gtest_main)
  if(WIN32)
    target_link_options(${T_NAME} PRIVATE -mconsole)
    target_sources(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/PrivateTemp.cpp)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "VANDRELL_TESTDATA=${VANDRELL_TESTDATA_ENV}")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# vandrell_missing_tool_test(NAME n TOOL t)
# Stands in for a test whose tool the configure step did not find: it fails
# and names the tool, so a broken set-up shows instead of passing unnoticed.
function(vandrell_missing_tool_test)
  cmake_parse_arguments(T "" "NAME;TOOL" "" ${ARGN})
  add_test(NAME ${T_NAME}
           COMMAND sh -c "echo '${T_TOOL} is missing: scripts/install-deps.sh installs it' >&2; exit 1")
endfunction()
