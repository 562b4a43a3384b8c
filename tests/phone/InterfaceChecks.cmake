# What the product may see of the frameworks on a phone: their interfaces only.
#
# 1. A copy of a product source (SOURCE) compiles with the phone build's compiler and flags (CXX,
#    FLAGS, INCLUDES); the same copy with one send of a message that only the stand-in has, or with
#    an include of a stand-in's inner view, does not, for that reason; the same copy with a send of
#    a message iOS has does.
# 2. No dependency file of the phone build (DEPENDENCIES, a folder searched for *.o.d) names a header
#    of the frameworks' inner workings: a header below PLATFORM that is not in an interface folder
#    (PLATFORM/<framework>/include/) or on the phone's side of the runtime seam (PLATFORM/objc/apple/).
foreach(variable CXX FLAGS INCLUDES SOURCE SCRATCH PLATFORM DEPENDENCIES)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "InterfaceChecks.cmake needs -D${variable}=...")
  endif()
endforeach()

list(TRANSFORM INCLUDES PREPEND -I OUTPUT_VARIABLE include_flags)
file(MAKE_DIRECTORY ${SCRATCH})
get_filename_component(stem ${SOURCE} NAME_WE)
file(READ ${SOURCE} original)

# compile(<case> <text appended to the copy> <result> <output>)
function(compile name addition result output)
  set(copy ${SCRATCH}/${stem}-${name}.cpp)
  file(WRITE ${copy} "${original}\n${addition}\n")
  execute_process(COMMAND ${CXX} ${FLAGS} ${include_flags} -fsyntax-only ${copy}
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(${result} ${code} PARENT_SCOPE)
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

set(failures "")
compile(unchanged "" code out)
if(NOT code EQUAL 0)
  string(APPEND failures "the unchanged copy of ${SOURCE} does not compile:\n${out}\n")
endif()

# check(<case> <reason> <text appended>): the copy with the text must fail to compile, with a
# diagnostic matching <reason>; with the reason COMPILES it must compile.
set(include_view "#include \"UIKit/UIView.hpp\"\n")
function(check name reason addition)
  compile(${name} "${addition}" code out)
  if(reason STREQUAL "COMPILES")
    if(NOT code EQUAL 0)
      set(failures "${failures}${name}: the copy with what iOS has does not compile:\n${out}\n" PARENT_SCOPE)
    endif()
  elseif(code EQUAL 0)
    set(failures "${failures}${name}: the copy compiles, though the phone has no such thing\n" PARENT_SCOPE)
  elseif(NOT out MATCHES "${reason}")
    set(failures "${failures}${name}: the copy fails, but not for what was added (want \"${reason}\"):\n${out}\n"
      PARENT_SCOPE)
  endif()
endfunction()
check(ios-message COMPILES "${include_view}void glintmereProbe(UI::View* view) { view->layoutIfNeeded(); }")
check(stand-in-message "no member named 'fillSceneNode'"
  "${include_view}void glintmereProbe(UI::View* view) { view->fillSceneNode(nullptr); }")
check(stand-in-baseline "no member named 'baselineMetrics'"
  "${include_view}void glintmereProbe(UI::View* view) { view->baselineMetrics(); }")
check(stand-in-ivar "no member named '_layoutGeneration'"
  "${include_view}long glintmereProbe(UI::View* view) { return objc::ivar(view, UI::View::_layoutGeneration); }")
check(inner-view "'UIKit/UIViewInternals.hpp' file not found" "#include \"UIKit/UIViewInternals.hpp\"")
check(engine "'UIKit/Layout/LayoutPass.hpp' file not found" "#include \"UIKit/Layout/LayoutPass.hpp\"")

# The dependency files: each line of one names the object, its source and every header it read.
file(GLOB_RECURSE depfiles ${DEPENDENCIES}/*.o.d)
list(LENGTH depfiles count)
if(count EQUAL 0)
  string(APPEND failures "no dependency files below ${DEPENDENCIES}: build the phone's binaries first\n")
endif()
set(read_headers 0)
foreach(depfile ${depfiles})
  file(READ ${depfile} text)
  string(REGEX REPLACE "\\\\\n" " " text "${text}")
  string(REGEX REPLACE "[ \t\n]+" ";" words "${text}")
  foreach(word ${words})
    if(word MATCHES "\\.(h|hpp)$")
      math(EXPR read_headers "${read_headers} + 1")
      get_filename_component(path ${word} ABSOLUTE)
      if(path MATCHES "^${PLATFORM}/" AND NOT path MATCHES "^${PLATFORM}/[^/]+/include/"
          AND NOT path MATCHES "^${PLATFORM}/objc/apple/")
        string(APPEND failures "${depfile} names a header of the inner workings: ${path}\n")
      endif()
    endif()
  endforeach()
endforeach()
if(count GREATER 0 AND read_headers EQUAL 0)
  string(APPEND failures "the dependency files below ${DEPENDENCIES} name no header at all\n")
endif()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "${count} dependency files, ${read_headers} headers read: none of the inner workings")
