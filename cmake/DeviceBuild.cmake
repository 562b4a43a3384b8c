# The phone's build: the same sources of hooks/ and settings/, compiled for arm64 iOS 7.0 by Debian's
# clang and linked by ld64.lld against the text stubs of the device side of the runtime seam
# (platform/objc/apple), then signed ad hoc. No SDK: the seam's headers declare what the product
# calls. Each binary lands in build/device/.

find_program(GLINTMERE_DEVICE_CXX clang++-14 REQUIRED)
find_program(GLINTMERE_DEVICE_LD ld64.lld-14 REQUIRED)
find_path(GLINTMERE_DEVICE_LIBCXX __config PATHS /usr/lib/llvm-14/include/c++/v1 NO_DEFAULT_PATH REQUIRED)

set(GLINTMERE_DEVICE_DIR ${CMAKE_BINARY_DIR}/device)
set(GLINTMERE_DEVICE_SIDE ${PROJECT_SOURCE_DIR}/platform/objc/apple)
set(GLINTMERE_DEVICE_STUBS ${GLINTMERE_DEVICE_SIDE}/stubs)
# The product sees the frameworks' interfaces only, as it sees the real frameworks' headers on a phone.
list(TRANSFORM GLINTMERE_INTERFACE_DIRS PREPEND -I OUTPUT_VARIABLE GLINTMERE_DEVICE_INTERFACE)
# The device's C++ library (iOS 7's) offers operator new and delete and the static guards, and little
# else a binary may rely on: no exceptions, every template instantiated here, no wide characters or
# locales in the headers, no RTTI.
set(GLINTMERE_DEVICE_FLAGS -target arm64-apple-ios7.0 -std=c++20 -O2 -g0
  -nostdlibinc -isystem ${GLINTMERE_DEVICE_LIBCXX} -isystem ${GLINTMERE_DEVICE_SIDE}/include
  ${GLINTMERE_DEVICE_INTERFACE} -I${GLINTMERE_DEVICE_SIDE}
  -fno-exceptions -fno-rtti -fvisibility=hidden -fvisibility-inlines-hidden
  -D_LIBCPP_DISABLE_EXTERN_TEMPLATE -D_LIBCPP_HAS_NO_WIDE_CHARACTERS -D_LIBCPP_HAS_NO_LOCALIZATION
  -Wall -Wextra -Werror)
set(GLINTMERE_DEVICE_LINK_FLAGS -arch arm64 -platform_version ios 7.0 7.0 -dead_strip)

add_custom_target(device ALL)

# glintmere_device_objects(<out-var> <name> SOURCES <file>... [INCLUDES <dir>...]): compiles each
# source for the device into build/device/objects/<name>/, and names the objects in <out-var>.
function(glintmere_device_objects out name)
  cmake_parse_arguments(ARG "" "" "SOURCES;INCLUDES" ${ARGN})
  set(includes "")
  foreach(dir ${ARG_INCLUDES})
    list(APPEND includes -I${dir})
  endforeach()
  set(objects "")
  set(folder ${GLINTMERE_DEVICE_DIR}/objects/${name})
  foreach(source ${ARG_SOURCES})
    get_filename_component(stem ${source} NAME_WE)
    set(object ${GLINTMERE_DEVICE_DIR}/objects/${name}/${stem}.o)
    add_custom_command(OUTPUT ${object}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${CMAKE_CXX_COMPILER_LAUNCHER} ${GLINTMERE_DEVICE_CXX} ${GLINTMERE_DEVICE_FLAGS} ${includes}
        -MD -MF ${object}.d -c ${source} -o ${object}
      DEPENDS ${source}
      DEPFILE ${object}.d
      VERBATIM)
    list(APPEND objects ${object})
  endforeach()
  set(${out} ${objects} PARENT_SCOPE)
endfunction()

# glintmere_device_link(<file> DYLIB|BUNDLE OBJECTS <object>... LIBRARIES <stub>... [WEAK_LIBRARIES
# <stub>...] [INSTALL_NAME <name>] [EXPORTS <symbol>...] [TARGET <target>]): links the objects into
# build/device/<file> against the named text stubs (platform/objc/apple/stubs/<stub>.tbd), exporting
# exactly the symbols given (none when none are), and signs it. TARGET names a target that builds it.
# Objects made in another folder come from targets that the caller orders before TARGET.
function(glintmere_device_link file kind)
  cmake_parse_arguments(ARG "" "INSTALL_NAME;TARGET" "OBJECTS;LIBRARIES;WEAK_LIBRARIES;EXPORTS" ${ARGN})
  set(output ${GLINTMERE_DEVICE_DIR}/${file})
  set(flags ${GLINTMERE_DEVICE_LINK_FLAGS})
  if(kind STREQUAL "DYLIB")
    list(APPEND flags -dylib -install_name ${ARG_INSTALL_NAME})
  else()
    list(APPEND flags -bundle)
  endif()
  if(ARG_EXPORTS)
    foreach(symbol ${ARG_EXPORTS})
      list(APPEND flags -exported_symbol ${symbol})
    endforeach()
  else()
    list(APPEND flags -unexported_symbol *)
  endif()
  set(stubs "")
  foreach(library ${ARG_LIBRARIES})
    list(APPEND stubs ${GLINTMERE_DEVICE_STUBS}/${library}.tbd)
  endforeach()
  foreach(library ${ARG_WEAK_LIBRARIES})
    list(APPEND flags -weak_library ${GLINTMERE_DEVICE_STUBS}/${library}.tbd)
    list(APPEND stubs ${GLINTMERE_DEVICE_STUBS}/${library}.tbd)
  endforeach()
  get_filename_component(identifier ${file} NAME)
  get_filename_component(folder ${output} DIRECTORY)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${GLINTMERE_DEVICE_LD} ${flags} -o ${output} ${ARG_OBJECTS} ${stubs}
    COMMAND $<TARGET_FILE:glintmere-codesign> ${output} ${identifier}
    DEPENDS ${ARG_OBJECTS} ${stubs} glintmere-codesign
    VERBATIM)
  if(ARG_TARGET)
    add_custom_target(${ARG_TARGET} DEPENDS ${output})
  endif()
endfunction()

# glintmere_device_package_file(<file> <device path>): a device binary of the iphoneos-arm package, in
# the place the simulated device's package holds the same deliverable.
function(glintmere_device_package_file file destination)
  set_property(GLOBAL APPEND PROPERTY GLINTMERE_DEVICE_PACKAGE_FILES "${file}\t${destination}")
endfunction()

# The device declarations' values, checked against the platform's at compile time.
glintmere_device_objects(platform_value_objects platform SOURCES ${GLINTMERE_DEVICE_SIDE}/PlatformValues.cpp)
add_custom_target(device-platform-values DEPENDS ${platform_value_objects})
add_dependencies(device device-platform-values)
