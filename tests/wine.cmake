# Windows tests: run under Wine in one session per test run (a CTest fixture),
# plus checks of the built executables that need no Wine and always run.
set(RAVLET_WINE_SESSION ${PROJECT_SOURCE_DIR}/cmake/wine/session.sh)
add_test(NAME wine_session_start COMMAND sh ${RAVLET_WINE_SESSION} start ${RAVLET_WINE_STATE} ${RAVLET_WINDOWS_ARCH})
add_test(NAME wine_session_stop COMMAND sh ${RAVLET_WINE_SESSION} stop ${RAVLET_WINE_STATE})
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 180)
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)

# Owns windows titled "Corvane.NET", so it runs alone among such tests.
ravlet_add_test(win32_platform_tests
    SOURCES win32_platform_test.cc win32_process.cc
    LIBRARIES ravlet_cli ravlet_platform
    PROPERTIES RESOURCE_LOCK corvane_window)
add_dependencies(win32_platform_tests ravlet)
# The same tests in the Japanese code page, whose double-byte cases run there.
add_test(NAME win32_platform_tests_cp932 COMMAND win32_platform_tests --gtest_filter=Cp932.*)
# Without that locale on the machine Wine stays in code page 1252, and the
# test says it skipped.
set_tests_properties(win32_platform_tests_cp932 PROPERTIES ENVIRONMENT LC_ALL=ja_JP.UTF-8 RESOURCE_LOCK corvane_window
    SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
ravlet_wine_test(win32_platform_tests_cp932)

ravlet_add_test(e2e_win32_tests
    SOURCES e2e_win32_test.cc win32_process.cc
    LIBRARIES ravlet_packet
    PROPERTIES RESOURCE_LOCK corvane_window)
add_dependencies(e2e_win32_tests ravlet ravlet-listen)

# The usual real case: a 32-bit tool and a 64-bit messenger, and the other way
# round. Both run in the 64-bit prefix, taking the other programs from the
# 32-bit build.
if(RAVLET_WINDOWS_ARCH STREQUAL win64)
    set(RAVLET_PEER_BUILD ${CMAKE_BINARY_DIR}/../windows-x86 CACHE PATH "The 32-bit Windows build, for the cross-bitness tests")
    add_test(NAME cross_bitness_tests
        COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/wine/run.sh ${RAVLET_WINE_STATE} --peer ${RAVLET_PEER_BUILD}
            $<TARGET_FILE:e2e_win32_tests> --gtest_filter=CrossBitness.*)
    set_tests_properties(cross_bitness_tests PROPERTIES RESOURCE_LOCK corvane_window)
    ravlet_wine_test(cross_bitness_tests)
endif()

# A stop reaches the listener while its output is blocked.
add_test(NAME listener_stops_with_blocked_output
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_wine_stop.sh ${RAVLET_WINE_STATE} ${CMAKE_BINARY_DIR})
set_tests_properties(listener_stops_with_blocked_output PROPERTIES RESOURCE_LOCK corvane_window)
ravlet_wine_test(listener_stops_with_blocked_output)

foreach(exe ravlet ravlet-listen)
    add_test(NAME ${exe}_exe_is_self_contained
        COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_pe_imports.sh ${CMAKE_OBJDUMP} ${RAVLET_PE_FORMAT} $<TARGET_FILE:${exe}>)
    add_test(NAME ${exe}_exe_resources
        COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_pe_resources.sh ${CMAKE_OBJCOPY} $<TARGET_FILE:${exe}> ${PROJECT_VERSION})
endforeach()

ravlet_add_test(win32_resources_tests
    SOURCES win32_resources_test.cc win32_process.cc
    LIBRARIES ravlet_support version)
add_dependencies(win32_resources_tests ravlet ravlet-listen)

add_test(NAME package_listing
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/check_package.sh ${CMAKE_BINARY_DIR}
        ravlet-${PROJECT_VERSION}-${RAVLET_WINDOWS_ARCH}.zip
        ravlet-${PROJECT_VERSION}-${RAVLET_WINDOWS_ARCH}/ravlet.exe
        ravlet-${PROJECT_VERSION}-${RAVLET_WINDOWS_ARCH}/ravlet-listen.exe
        ravlet-${PROJECT_VERSION}-${RAVLET_WINDOWS_ARCH}/README.md
        ravlet-${PROJECT_VERSION}-${RAVLET_WINDOWS_ARCH}/CHANGELOG.md
        ravlet-${PROJECT_VERSION}-${RAVLET_WINDOWS_ARCH}/LICENSE
        ravlet-${PROJECT_VERSION}-${RAVLET_WINDOWS_ARCH}/posix-window-messaging.md)
