# Build helpers: stand-in frameworks, device placement of built files, tests run in a device.

# Where each stand-in framework lives on the device. A library's DT_NEEDED entry is its bare name,
# found through RUNPATH: in the build tree under build/lib, on the device in its framework folder.
set(GLINTMERE_FRAMEWORK_DIRS
  /System/Library/Frameworks/Foundation.framework
  /System/Library/Frameworks/CoreFoundation.framework
  /System/Library/Frameworks/Dispatch.framework
  /Library/Frameworks/CydiaSubstrate.framework
  /System/Library/Frameworks/UIKit.framework
  /System/Library/Frameworks/WebKit.framework
  /System/Library/PrivateFrameworks/PhotoLibrary.framework
  /System/Library/PrivateFrameworks/Preferences.framework
  /System/Library/Frameworks/MessageUI.framework
  /System/Library/Frameworks/Social.framework
  /System/Library/PrivateFrameworks/MobileGestalt.framework
  /System/Library/PrivateFrameworks/Dyld.framework)
# The side of the runtime seam this build takes: the simulated device's, GNU libobjc.
set(GLINTMERE_RUNTIME_SIDE ${PROJECT_SOURCE_DIR}/platform/objc/gnu)

# What the product (hooks/, settings/) may include: each framework's interface, its include/ folder,
# which declares what that framework declares on iOS and nothing of the stand-in's own; and the
# bridge's headers. The rest of a framework, its engine and the inner views of its classes, is
# reached by its path below platform/ (GLINTMERE_INNER_DIR), by the stand-ins and the tests only.
set(GLINTMERE_INTERFACE_FRAMEWORKS Foundation CoreFoundation dispatch substrate UIKit WebKit PhotoLibrary
  Preferences MessageUI Social MobileGestalt)
set(GLINTMERE_INTERFACE_DIRS ${PROJECT_SOURCE_DIR}/platform/objc/include)
foreach(framework ${GLINTMERE_INTERFACE_FRAMEWORKS})
  list(APPEND GLINTMERE_INTERFACE_DIRS ${PROJECT_SOURCE_DIR}/platform/${framework}/include)
endforeach()
set(GLINTMERE_INNER_DIR ${PROJECT_SOURCE_DIR}/platform)

# glintmere_inner_workings(<target> [PUBLIC]): lets a target that is not the product (a stand-in's
# tests, a host app, a tool, a test of the product) reach the frameworks' inner workings.
function(glintmere_inner_workings target)
  set(scope PRIVATE)
  if(ARGN)
    set(scope ${ARGN})
  endif()
  target_include_directories(${target} ${scope} ${GLINTMERE_INNER_DIR})
endfunction()

set(CMAKE_BUILD_RPATH ${GLINTMERE_LIB_DIR} ${GLINTMERE_FRAMEWORK_DIRS})
set(CMAKE_BUILD_RPATH_USE_ORIGIN OFF)

set_property(GLOBAL PROPERTY GLINTMERE_DEVICE_FILES "")
set_property(GLOBAL PROPERTY GLINTMERE_PACKAGE_FILES "")

# glintmere_device_file(<file-or-genex> <device path>): a file of the device's system;
# glintmere-device install puts it there.
function(glintmere_device_file source destination)
  set_property(GLOBAL APPEND PROPERTY GLINTMERE_DEVICE_FILES "${source}\t${destination}")
endfunction()

# glintmere_package_file(<file-or-genex> <device path>): a file of Glintmere's package, which dpkg
# puts there when the package is installed.
function(glintmere_package_file source destination)
  set_property(GLOBAL APPEND PROPERTY GLINTMERE_PACKAGE_FILES "${source}\t${destination}")
endfunction()

# Glintmere's package name and version, from the control file, the one place that holds them.
set(GLINTMERE_CONTROL ${PROJECT_SOURCE_DIR}/control)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${GLINTMERE_CONTROL})
file(STRINGS ${GLINTMERE_CONTROL} GLINTMERE_PACKAGE REGEX "^Package:")
file(STRINGS ${GLINTMERE_CONTROL} GLINTMERE_VERSION REGEX "^Version:")
string(REGEX REPLACE "^Package: *" "" GLINTMERE_PACKAGE "${GLINTMERE_PACKAGE}")
string(REGEX REPLACE "^Version: *" "" GLINTMERE_VERSION "${GLINTMERE_VERSION}")
if(NOT GLINTMERE_PACKAGE OR NOT GLINTMERE_VERSION)
  message(FATAL_ERROR "${GLINTMERE_CONTROL} must name the Package and its Version")
endif()

# The architecture the binaries are built for, as dpkg names it.
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE GLINTMERE_ARCHITECTURE
  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
if(failed OR NOT GLINTMERE_ARCHITECTURE)
  message(FATAL_ERROR "dpkg --print-architecture failed; install the Debian package dpkg")
endif()

# glintmere_framework(<target> <framework name> <device folder> SOURCES ... LIBS ...)
function(glintmere_framework target name folder)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${target} SHARED ${ARG_SOURCES})
  set_target_properties(${target} PROPERTIES
    PREFIX "" SUFFIX "" OUTPUT_NAME ${name}
    LIBRARY_OUTPUT_DIRECTORY ${GLINTMERE_LIB_DIR})
  # The GNU side of the runtime seam (see README): how messages, blocks and classes work on libobjc.
  # Its users see its interface and the bridge's; the stand-in itself sees every framework's inner
  # workings too.
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/platform/objc/include ${GLINTMERE_RUNTIME_SIDE})
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/include)
    target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include)
  endif()
  glintmere_inner_workings(${target})
  target_include_directories(${target} SYSTEM PUBLIC ${GLINTMERE_RUNTIME_SIDE}/include)
  target_link_libraries(${target} PUBLIC ${ARG_LIBS})
  if(NOT GLINTMERE_FUZZ)
    # Under the fuzzer, coverage callbacks come from the program that loads the library.
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
  # A framework defines its classes when it loads. A program that only sends messages to them uses
  # none of its symbols, and the linker would leave it out: every class would then be nil.
  target_link_options(${target} INTERFACE -Wl,--no-as-needed)
  glintmere_device_file($<TARGET_FILE:${target}> ${folder}/${name})
endfunction()

# glintmere_framework_here(<framework name> <device folder> [LIBS ...]): the framework built from
# every source of the current folder and its parts (any folder below but tests/), and its tests
# (tests/*.cpp) as one test binary.
function(glintmere_framework_here name folder)
  cmake_parse_arguments(ARG "" "" "LIBS;EXTRA_SOURCES" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "^tests/")
  list(TRANSFORM sources PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
  if(NOT sources)
    return() # not written yet
  endif()
  glintmere_framework(${name} ${name} ${folder} SOURCES ${sources} ${ARG_EXTRA_SOURCES} LIBS ${ARG_LIBS})
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(tests)
    string(TOLOWER ${name}_tests test_target)
    add_executable(${test_target} ${tests})
    target_link_libraries(${test_target} PRIVATE ${name})
    glintmere_inner_workings(${test_target})
    glintmere_add_test(${test_target})
  endif()
endfunction()

# glintmere_add_test(<target> [ARM64]): registers a GoogleTest binary with CTest, run inside a fresh
# device; with ARM64, also as <target>_arm64 in a device with a phone's processor, which holds the phone's
# build of the deliverables.
# With VERSIONS, the test runs again on a device of each of those system versions (named
# TARGET_iosVERSION), and with ARM64 each run has its arm64 twin too.
function(glintmere_add_test target)
  cmake_parse_arguments(ARG "ARM64" "" "VERSIONS" ${ARGN})
  glintmere_program(${target})
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gtest_main GTest::gmock)
  set(runs "default")
  list(APPEND runs ${ARG_VERSIONS})
  foreach(run ${runs})
    if(run STREQUAL "default")
      set(name ${target})
      set(options "")
    else()
      set(name ${target}_ios${run})
      set(options --ios ${run})
    endif()
    add_test(NAME ${name}
      COMMAND $<TARGET_FILE:glintmere-device> test ${options} $<TARGET_FILE:${target}>)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
    if(ARG_ARM64)
      add_test(NAME ${name}_arm64
        COMMAND $<TARGET_FILE:glintmere-device> test --arch arm64 ${options} $<TARGET_FILE:${target}>)
      set_tests_properties(${name}_arm64 PROPERTIES TIMEOUT 300)
    endif()
  endforeach()
endfunction()

# glintmere_program(<target>): settings every executable of the project shares. No executable is
# the product, so each may reach the frameworks' inner workings.
function(glintmere_program target)
  glintmere_inner_workings(${target})
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/platform/objc/SanitizerDefaults.cpp)
endfunction()

# The target `benchmarks`: the benchmark programs and everything a device they run in needs, and no
# test program, so that `make bench` builds only what it runs.
function(glintmere_add_benchmarks_target)
  add_custom_target(benchmarks)
  add_dependencies(benchmarks ${ARGN} glintmere-device glintmere-package)
  get_property(entries GLOBAL PROPERTY GLINTMERE_DEVICE_FILES)
  foreach(entry ${entries})
    if(entry MATCHES "^\\$<TARGET_FILE:([^>]+)>")
      add_dependencies(benchmarks ${CMAKE_MATCH_1})
    endif()
  endforeach()
endfunction()

# The target `demo`: what scripts/demo runs, that is the device tool, the packages of both
# architectures and every file of a device's system but what only tests run there (under
# /Developer); no test program, so that a first `make demo` builds only that.
function(glintmere_add_demo_target)
  add_custom_target(demo)
  add_dependencies(demo glintmere-device glintmere-package)
  get_property(entries GLOBAL PROPERTY GLINTMERE_DEVICE_FILES)
  foreach(entry ${entries})
    if(entry MATCHES "^\\$<TARGET_FILE:([^>]+)>\t(.*)$")
      set(target ${CMAKE_MATCH_1})
      set(place ${CMAKE_MATCH_2})
      if(NOT place MATCHES "^/Developer/")
        add_dependencies(demo ${target})
      endif()
    endif()
  endforeach()
endfunction()

function(glintmere_write_device_manifest)
  get_property(entries GLOBAL PROPERTY GLINTMERE_DEVICE_FILES)
  list(JOIN entries "\n" content)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/device-manifest.txt CONTENT "${content}\n")
endfunction()

# Glintmere's .debs, built with every build from the control file at the top of the repository
# (which alone holds the version) and the package files: packages/PACKAGE_VERSION_ARCH.deb for the
# simulated device, and packages/PACKAGE_VERSION_iphoneos-arm.deb for a phone, which holds the
# phone's binaries in the same places and the same other files. packages.txt names the first for
# glintmere-device install.
function(glintmere_write_package)
  set(control ${GLINTMERE_CONTROL})
  set(package ${GLINTMERE_PACKAGE})
  set(version ${GLINTMERE_VERSION})
  set(deb ${CMAKE_BINARY_DIR}/packages/${package}_${version}_${GLINTMERE_ARCHITECTURE}.deb)
  set(device_deb ${CMAKE_BINARY_DIR}/packages/${package}_${version}_iphoneos-arm.deb)

  get_property(entries GLOBAL PROPERTY GLINTMERE_PACKAGE_FILES)
  get_property(device_binaries GLOBAL PROPERTY GLINTMERE_DEVICE_PACKAGE_FILES)
  set(sources "")
  set(device_sources "")
  set(device_entries "")
  foreach(entry ${entries})
    string(REGEX REPLACE "\t.*" "" source "${entry}")
    string(REGEX REPLACE "^[^\t]*\t" "" destination "${entry}")
    list(APPEND sources "${source}")
    if(source MATCHES "^\\$<TARGET_FILE:")
      # A binary of the simulated device: the phone's package holds the phone's build of it.
      set(replacement "")
      foreach(binary ${device_binaries})
        string(REGEX REPLACE "^[^\t]*\t" "" place "${binary}")
        if(place STREQUAL destination)
          string(REGEX REPLACE "\t.*" "" replacement "${binary}")
        endif()
      endforeach()
      if(NOT replacement)
        message(FATAL_ERROR "no phone build of the package's ${destination}")
      endif()
      set(source ${replacement})
    endif()
    list(APPEND device_sources "${source}")
    list(APPEND device_entries "${source}\t${destination}")
  endforeach()
  list(JOIN entries "\n" content)
  set(placements ${CMAKE_BINARY_DIR}/package-manifest.txt)
  file(GENERATE OUTPUT ${placements} CONTENT "${content}\n")
  list(JOIN device_entries "\n" device_content)
  set(device_placements ${CMAKE_BINARY_DIR}/package-manifest-iphoneos-arm.txt)
  file(GENERATE OUTPUT ${device_placements} CONTENT "${device_content}\n")
  add_custom_command(OUTPUT ${deb}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-package ${control} ${placements} ${GLINTMERE_ARCHITECTURE} ${deb}
    DEPENDS ${sources} ${control} ${placements} ${PROJECT_SOURCE_DIR}/scripts/build-package
    VERBATIM)
  add_custom_command(OUTPUT ${device_deb}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-package ${control} ${device_placements} iphoneos-arm ${device_deb}
    DEPENDS ${device_sources} ${control} ${device_placements} ${PROJECT_SOURCE_DIR}/scripts/build-package
    VERBATIM)
  add_custom_target(glintmere-package ALL DEPENDS ${deb} ${device_deb})
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/packages.txt CONTENT "${deb}\n")
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/packages-iphoneos-arm.txt CONTENT "${device_deb}\n")
  # A target's file named in DEPENDS orders nothing by itself: without these, a parallel build may
  # pack before the library is linked, and stop for want of a rule to make it.
  foreach(entry ${entries})
    if(entry MATCHES "^\\$<TARGET_FILE:([^>]+)>")
      add_dependencies(glintmere-package ${CMAKE_MATCH_1})
    endif()
  endforeach()
  add_dependencies(glintmere-package device)
endfunction()

# glintmere-repo writes repo/, a package source that a device's package manager can add, from every
# .deb in packages/ at the time it runs (see scripts/build-repo). It runs whenever it is asked for.
function(glintmere_write_repo)
  add_custom_target(glintmere-repo
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-repo ${CMAKE_BINARY_DIR}/packages ${CMAKE_BINARY_DIR}/repo
    VERBATIM)
  add_dependencies(glintmere-repo glintmere-package)
endfunction()
