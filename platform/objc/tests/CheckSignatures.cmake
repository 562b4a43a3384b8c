# Builds SignatureChecks.cpp once per case: MATCHING must compile, every other case must not, each
# for the reason it stands for (the diagnostic text given with it).
set(cases
  "WRONG_RESULT|result type is not the one the message declares"
  "WRONG_ARGUMENT|parameter types are not the ones the message declares"
  "MISSING_ARGUMENT|parameter types are not the ones the message declares"
  "WRONG_RECEIVER|takes a pointer to its class's view"
  "WRONG_CALL|no matching function"
  "OWNED_AS_PLAIN|cannot convert"
  "VIEW_BY_VALUE|deleted"
  "SELECTOR_BY_NAME|no member named"
  "OTHER_SETTER|the setter is not"
  "SETTER_OF_OTHER_TYPE|no matching"
  "IVAR_OF_OTHER_VIEW|no matching function"
  "IVAR_OF_OTHER_TYPE|no matching function"
  "PLAIN_IVAR_STORED_OWNED|no matching function"
  "INNER_IVAR_OF_OTHER_VIEW|no matching function"
  "INNER_MESSAGE_THROUGH_VIEW|no member named")
function(compile definition result output)
  list(TRANSFORM INCLUDE PREPEND -I OUTPUT_VARIABLE include_flags)
  execute_process(COMMAND ${CXX} -std=c++20 -fsyntax-only ${include_flags} -D${definition} ${SOURCE}
    RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(${result} ${code} PARENT_SCOPE)
  set(${output} "${out}" PARENT_SCOPE)
endfunction()
compile(MATCHING code out)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the matching case does not compile:\n${out}")
endif()
foreach(entry ${cases})
  string(REPLACE "|" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 expected)
  compile(${name} code out)
  if(code EQUAL 0)
    message(FATAL_ERROR "${name} compiles, but must not")
  endif()
  string(FIND "${out}" "${expected}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "${name} fails to compile, but not with \"${expected}\":\n${out}")
  endif()
endforeach()
