# The runtime walk on a program cross-built here with the MinGW runtime as DLLs: every DLL it
# needs from the compiler's folders lands beside it, Windows' own stay behind, and a folder
# list that lacks one of ours fails instead of making a package that cannot start.
# Run with -DCOMPILER= -DOBJDUMP= -DRUNTIME_FOLDERS= -DWORK= -P RuntimeDllsTest.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../packaging/windows/RuntimeDlls.cmake)
if(WALK_ONLY)
  # The second half: the same walk with no folder to find the runtime in.
  qev_install_runtime_dlls(DESTINATION ${DEST} OBJDUMP ${OBJDUMP} FILES ${PROBE} DIRECTORIES ${DEST})
  return()
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/package)
file(WRITE ${WORK}/probe.cpp "#include <string>\n#include <thread>\nint main(int argc, char**) {\n  std::string text(static_cast<unsigned>(argc), 'x');\n  std::thread([&text] { text += 'y'; }).join();\n  return static_cast<int>(text.size());\n}\n")
execute_process(COMMAND ${COMPILER} -O1 ${WORK}/probe.cpp -o ${WORK}/probe.exe COMMAND_ERROR_IS_FATAL ANY)

qev_install_runtime_dlls(DESTINATION ${WORK}/package OBJDUMP ${OBJDUMP}
  FILES ${WORK}/probe.exe DIRECTORIES ${RUNTIME_FOLDERS})
foreach(dll libstdc++-6.dll libwinpthread-1.dll)
  if(NOT EXISTS ${WORK}/package/${dll})
    message(FATAL_ERROR "${dll} was not put beside the program")
  endif()
endforeach()
file(GLOB copied RELATIVE ${WORK}/package ${WORK}/package/*)
foreach(dll IN LISTS copied)
  if(NOT dll MATCHES "^lib")
    message(FATAL_ERROR "a DLL of Windows' own was copied: ${dll}")
  endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -DWALK_ONLY=ON -DOBJDUMP=${OBJDUMP}
  -DPROBE=${WORK}/probe.exe -DDEST=${WORK}/empty -P ${CMAKE_CURRENT_LIST_FILE}
  RESULT_VARIABLE missing OUTPUT_QUIET ERROR_QUIET)
if(missing EQUAL 0)
  message(FATAL_ERROR "a walk that could not find the C++ runtime succeeded")
endif()
message(STATUS "copied: ${copied}")
