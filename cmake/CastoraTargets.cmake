# Helpers shared by every target of the project.

if(CASTORA_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(CASTORA_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  # asio's atomic fences draw GCC's "not supported with -fsanitize=thread" warning;
  # the rest of its synchronisation is visible to the sanitizer.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-tsan)
  endif()
  add_link_options(-fsanitize=thread)
elseif(NOT CASTORA_SANITIZE STREQUAL "")
  message(FATAL_ERROR "CASTORA_SANITIZE must be '', 'address' or 'thread'")
endif()

# Warnings for the project's own code only (dependencies come in as system headers).
function(castora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
                         -Wno-unused-parameter)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wshadow=local)
  else()
    target_compile_options(${target} PRIVATE -Wshadow-uncaptured-local)
  endif()
  if(CASTORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# castora_library(name SOURCES ... [DEPS ...] [PUBLIC_DEPS ...])
function(castora_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PUBLIC_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_DEPS})
  castora_warnings(${name})
endfunction()

# castora_test(name SOURCES ... DEPS ... [LABELS ...] [SERIAL])
# LABELS: "threaded" marks the tests that the ThreadSanitizer build runs.
function(castora_test name)
  cmake_parse_arguments(ARG "SERIAL" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  castora_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  # CASTORA_RUN_FOLDER: a folder without "user/<uid>" stands for "/run", so that the
  # tests' local sockets stay in the folders each test gives them and never meet the
  # person's own programs in /run/user/<uid>.
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
                       ENVIRONMENT "CASTORA_PLATFORM=sim;QT_QPA_PLATFORM=offscreen;APPDATA=${CMAKE_BINARY_DIR}/test-appdata;CASTORA_RUN_FOLDER=${CMAKE_BINARY_DIR}/test-run")
  if(CASTORA_SANITIZE STREQUAL "address")
    # Full stacks so that the suppressions (libraries' own leaks, not ours) match.
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
      "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0"
      "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp")
  elseif(CASTORA_SANITIZE STREQUAL "thread")
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT
      "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
  endif()
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  if(ARG_SERIAL)
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()
