# gearloft_add_test(<name> [NO_MAIN] [GUI] [TSAN] SOURCES <files...> LIBS <targets...>)
#
# NO_MAIN: the sources bring their own main(), so GoogleTest's main is not
# linked.
# GUI: a test of widgets. It gets the one main() of every GUI test program
# (tests/support/gui_test_main.cpp: one QApplication on the offscreen
# platform for all its tests) and links Qt Widgets and Qt Test.
# TSAN: also built and run in the ThreadSanitizer build (GEARLOFT_TSAN). Only
# tests of several threads or of the loaded library are worth its time; the
# others are left out of that build.
#
# Builds one GoogleTest program per concern into build/tests and registers it
# with ctest. Every test runs on Qt's offscreen platform, so no display is
# needed, and with the sanitizer suppressions of third-party code.
set(GEARLOFT_TEST_DIR ${PROJECT_BINARY_DIR}/tests)

function(gearloft_add_test name)
    cmake_parse_arguments(ARG "NO_MAIN;GUI;TSAN" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest)
    if(ARG_GUI)
        target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/gui_test_main.cpp)
        target_link_libraries(${name} PRIVATE Qt6::Widgets Qt6::Test)
    elseif(NOT ARG_NO_MAIN)
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${GEARLOFT_TEST_DIR})
    if(GEARLOFT_TSAN AND NOT ARG_TSAN)
        # Defined, so that the callers' target_* calls still apply, but not built.
        set_target_properties(${name} PROPERTIES EXCLUDE_FROM_ALL ON)
        return()
    endif()
    add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${GEARLOFT_TEST_DIR})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT
        "QT_QPA_PLATFORM=offscreen;GEARLOFT_BUILD_DIR=${PROJECT_BINARY_DIR};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1")
endfunction()
