# tellurix_add_test(name SOURCES files... [LIBS libs...] [LOCKS locks...] [TIMEOUT seconds]
#                   [LAUNCHER command...])
#
# Builds one QtTest executable and registers it with ctest. Every test runs on
# the offscreen platform, in the C locale, at 96 DPI, with Qt warnings fatal,
# and with its own empty configuration directory so that it never reads or
# writes the user's real settings. LOCKS names shared resources (the fixed
# ports, the single-instance keys) so that ctest never runs two holders of the
# same resource at once. LAUNCHER runs the test's executable, named as its last
# argument, inside a setting of its own (a private X server, say), which then
# decides the platform.
function(tellurix_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LOCKS;LAUNCHER" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt5::Test ${T_LIBS})
    tellurix_warnings(${name})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${name} COMMAND ${T_LAUNCHER} $<TARGET_FILE:${name}>)
    set(config_home ${CMAKE_BINARY_DIR}/tests/config-home/${name})
    set(runtime_dir ${CMAKE_BINARY_DIR}/tests/runtime/${name})
    file(MAKE_DIRECTORY ${config_home} ${runtime_dir})
    # Qt warns (fatally here) about a runtime directory that others may read.
    file(CHMOD ${runtime_dir} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    set(env
        QT_QPA_PLATFORM=offscreen
        QT_FATAL_WARNINGS=1
        QT_FONT_DPI=96
        LANG=C
        LC_ALL=C
        XDG_CONFIG_HOME=${config_home}
        XDG_RUNTIME_DIR=${runtime_dir}
        TELLURIX_SOURCE_DIR=${PROJECT_SOURCE_DIR}
        TELLURIX_BIN_DIR=${CMAKE_BINARY_DIR}/bin)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
    if(T_LOCKS)
        set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
    endif()
endfunction()
