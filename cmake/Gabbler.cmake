# Helpers that keep each folder's CMakeLists.txt to a few declarative lines.

add_compile_options(-Wall -Wextra -Wpedantic)
if(GABBLER_WERROR)
    add_compile_options(-Werror)
endif()
if(GABBLER_FUZZ)
    # Coverage for libFuzzer in every library; only the fuzz programs link the fuzzer's own main.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()
if(GABBLER_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# gabbler_add_library(<folder> [DIR <subdir>] [DEPS <targets or folders>...])
# Builds every .cpp of the folder into the library gabbler_<name>. A dependency written without "::" or a
# "gabbler_" prefix names another folder's library ("sdk" means gabbler_sdk).
function(gabbler_add_library name)
    cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
    if(GABBLER_FUZZ AND ARG_DIR)
        return() # the widget folders are not fuzzed
    endif()
    set(dir ${CMAKE_CURRENT_SOURCE_DIR})
    if(ARG_DIR)
        set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${ARG_DIR})
    endif()
    file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
    file(GLOB headers CONFIGURE_DEPENDS ${dir}/*.h)
    add_library(gabbler_${name} STATIC ${sources} ${headers})
    target_include_directories(gabbler_${name} PUBLIC ${CMAKE_SOURCE_DIR})
    gabbler_resolve_deps(deps ${ARG_DEPS})
    target_link_libraries(gabbler_${name} PUBLIC ${deps})
endfunction()

# gabbler_add_test(<name> SOURCES <files>... [DEPS <targets or folders>...] [QT])
# One GoogleTest executable, registered test by test with CTest. QT runs it on the offscreen platform.
function(gabbler_add_test name)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS" ${ARGN})
    add_executable(test_${name} ${ARG_SOURCES})
    gabbler_resolve_deps(deps ${ARG_DEPS})
    target_link_libraries(test_${name} PRIVATE ${deps} GTest::gtest GTest::gtest_main GTest::gmock)
    target_include_directories(test_${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    # Tests find their data files from here: __FILE__ is relative when a compiler cache or a prefix map rewrites paths.
    target_compile_definitions(test_${name} PRIVATE GABBLER_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    # Every test program runs through a script that sets the tests' own environment (cmake/TestEnvironment.sh.in);
    # QT ones on the offscreen platform.
    if(ARG_QT)
        set_property(TARGET test_${name} PROPERTY CROSSCOMPILING_EMULATOR ${GABBLER_TEST_ENV_DIR}/run-qt-test)
    else()
        set_property(TARGET test_${name} PROPERTY CROSSCOMPILING_EMULATOR ${GABBLER_TEST_ENV_DIR}/run-test)
    endif()
    gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()

set(GABBLER_TEST_ENV_DIR ${CMAKE_BINARY_DIR}/test-env)
set(GABBLER_TEST_FONT_DIR /usr/share/fonts/truetype/dejavu)
set(GABBLER_TEST_FONT_CACHE ${GABBLER_TEST_ENV_DIR}/font-cache)
configure_file(${CMAKE_SOURCE_DIR}/cmake/TestFonts.conf.in ${GABBLER_TEST_ENV_DIR}/fonts.conf @ONLY)
set(GABBLER_TEST_ENV_EXTRA "")
configure_file(${CMAKE_SOURCE_DIR}/cmake/TestEnvironment.sh.in ${GABBLER_TEST_ENV_DIR}/run-test @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(GABBLER_TEST_ENV_EXTRA "export QT_QPA_PLATFORM=offscreen")
configure_file(${CMAKE_SOURCE_DIR}/cmake/TestEnvironment.sh.in ${GABBLER_TEST_ENV_DIR}/run-qt-test @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The installed tree. The programs find the documents' folder relative to their own, so a tree moved as a whole
# (or installed with --prefix) still works.
include(GNUInstallDirs)
set(GABBLER_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/gabbler)
file(RELATIVE_PATH GABBLER_DOC_FROM_BIN /${CMAKE_INSTALL_BINDIR} /${GABBLER_INSTALL_DOCDIR})
# share/systemd/user is searched under every prefix, ~/.local included; a Debian package uses lib/systemd/user.
set(GABBLER_INSTALL_SYSTEMDUSERDIR ${CMAKE_INSTALL_DATAROOTDIR}/systemd/user CACHE STRING
    "Where the systemd user units go, relative to the prefix")

function(gabbler_resolve_deps out)
    set(result "")
    foreach(dep ${ARGN})
        if(dep MATCHES "::" OR dep MATCHES "^gabbler_" OR dep MATCHES "^-")
            list(APPEND result ${dep})
        else()
            list(APPEND result gabbler_${dep})
        endif()
    endforeach()
    set(${out} ${result} PARENT_SCOPE)
endfunction()

find_package(GTest REQUIRED)
include(GoogleTest)

# Only the program's own folders use Qt; protocol/, sdk/ and server/ stay plain C++.
if(GABBLER_FUZZ)
    find_package(Qt6 REQUIRED COMPONENTS Core) # places/ sorts with QCollator
else()
    find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test Multimedia Charts DBus)
endif()
set(CMAKE_AUTOMOC ON)
