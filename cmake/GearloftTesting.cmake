# gearloft_add_test(<name> [NO_MAIN] SOURCES <files...> LIBS <targets...>)
#
# NO_MAIN: the sources bring their own main() (GUI tests create their
# QApplication there), so GoogleTest's main is not linked.
#
# Builds one GoogleTest program per concern into build/tests and registers it
# with ctest. Every test runs on Qt's offscreen platform, so no display is
# needed, and with the sanitizer suppressions of third-party code.
set(GEARLOFT_TEST_DIR ${PROJECT_BINARY_DIR}/tests)

function(gearloft_add_test name)
    cmake_parse_arguments(ARG "NO_MAIN" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
    if(NOT ARG_NO_MAIN)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${GEARLOFT_TEST_DIR})
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${GEARLOFT_TEST_DIR})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
        "QT_QPA_PLATFORM=offscreen;GEARLOFT_BUILD_DIR=${PROJECT_BINARY_DIR};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()
