# Adds every immediate sub-folder of DIR that holds a CMakeLists.txt.
function(orvane_add_subdirectories dir)
    file(GLOB children LIST_DIRECTORIES true "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*")
    list(SORT children)
    foreach(child ${children})
        if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
            add_subdirectory(${child})
        endif()
    endforeach()
endfunction()

# Sources of one folder (not recursive): *.cpp *.c *.h
function(orvane_glob_sources out dir)
    file(GLOB srcs CONFIGURE_DEPENDS "${dir}/*.cpp" "${dir}/*.c" "${dir}/*.h")
    set(${out} ${srcs} PARENT_SCOPE)
endfunction()

# orvane_add_test(NAME name SOURCES a.cpp ... LIBS lib ... [RESOURCE_LOCK port ...]
#                 [ENV VAR=value ...] [TIMEOUT seconds] [X11] [PRIVATE_X])
# One Qt Test executable, run by tests/run-test.sh with a fresh temporary HOME and
# XDG folders. Tests run offscreen unless X11 (or PRIVATE_X, the same) is given: then they get an X
# server of their own (tests/run-test.sh), or $DISPLAY where Xvfb is missing. A test that starts
# Korvid or uses the frame block keyed by the bin folder holds RESOURCE_LOCK mainframeblock.
function(orvane_add_test)
    cmake_parse_arguments(T "X11;PRIVATE_X" "NAME;TIMEOUT" "SOURCES;LIBS;RESOURCE_LOCK;ENV;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE Qt5::Test ${T_LIBS})
    target_include_directories(${T_NAME} PRIVATE ${CMAKE_SOURCE_DIR}/tests/common)
    set(platform offscreen)
    # Every test on X gets a server of its own: windows, grabs and the pointer of tests running
    # side by side never meet.
    if(T_PRIVATE_X OR T_X11)
        set(T_X11 ON)
        list(APPEND T_ENV ORVANE_TEST_PRIVATE_X=1)
    endif()
    if(T_X11)
        set(platform xcb)
    endif()
    add_test(NAME ${T_NAME}
             COMMAND ${CMAKE_SOURCE_DIR}/tests/run-test.sh $<TARGET_FILE:${T_NAME}>)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=${platform};ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;ORVANE_TEST_SOURCE_DIR=${CMAKE_SOURCE_DIR};ORVANE_BIN_DIR=${CMAKE_BINARY_DIR}/bin;${T_ENV}")
    if(T_RESOURCE_LOCK)
        set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
        # A test holding a fixed port runs in a network namespace of its own where the system
        # allows one (tests/run-test.sh); the lock keeps such tests apart where it does not.
        list(FILTER T_RESOURCE_LOCK INCLUDE REGEX "^port[0-9]+$")
        if(T_RESOURCE_LOCK)
            set_property(TEST ${T_NAME} APPEND PROPERTY ENVIRONMENT "ORVANE_TEST_PRIVATE_NET=1")
        endif()
    endif()
    if(T_LABELS)
        set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
    endif()
endfunction()

# orvane_add_bench(NAME name SOURCES ... LIBS ...): a Google Benchmark program.
function(orvane_add_bench)
    cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
    find_package(benchmark REQUIRED)
    add_executable(${B_NAME} ${B_SOURCES})
    target_link_libraries(${B_NAME} PRIVATE benchmark::benchmark ${B_LIBS})
endfunction()
