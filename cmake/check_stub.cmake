# Checks the launcher stub of a Windows build tree (run with cmake -P):
#   STUB   the stripped vtlstub.exe
#   MAP    the linker map written beside it
#   LIMIT  the largest size in bytes the stub may have
# The stub must stay small, and the link must take none of the runtime
# parts the launcher does without. Each of them comes back through one
# innocent-looking line (a function-local static with a run-time
# initialiser, a try block, a printf), and together they were half of the
# executable, so the check names the part rather than waiting for the
# size to give way.
foreach(var STUB MAP LIMIT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "check_stub: ${var} is not set")
  endif()
endforeach()

file(SIZE "${STUB}" size)
if(NOT size LESS LIMIT)
  message(FATAL_ERROR "check_stub: ${STUB} has ${size} bytes, the limit is ${LIMIT}")
endif()

file(READ "${MAP}" map)
# Archive members as the map names them, and what brings each one in.
set(parts
  "eh_personality\\.o" "the C++ exception runtime (a try block, a throw, or code built with exceptions)"
  "guard\\.o" "the thread-safe guard of a function-local static with a run-time initialiser"
  "libwinpthread_la-[a-z]+\\.o" "the threads library (std::thread, std::mutex, or the guard of a local static)"
  "functexcept\\.o" "the library's exception throwers (a std:: helper the stub does not provide in core/cxxrt.cpp)"
  "[a-z-]*string-inst\\.o" "the library's whole std::string or std::wstring instantiation"
  "mingw_pformat\\.o" "the MinGW printf engine (vprintf, fprintf and their relatives)")
list(LENGTH parts count)
math(EXPR last "${count} - 1")
set(found "")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET parts ${i} pattern)
  list(GET parts ${j} meaning)
  if(map MATCHES "[(]${pattern}[)]")
    string(APPEND found "\n  ${meaning}")
  endif()
endforeach()
if(found)
  message(FATAL_ERROR "check_stub: the stub links${found}\nSee the comments above VTL_SIZE_FLAGS in CMakeLists.txt.")
endif()
message(STATUS "check_stub: ${size} bytes (limit ${LIMIT}), no unwanted runtime part")
