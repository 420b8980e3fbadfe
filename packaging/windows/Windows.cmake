# Windows: the programs at the top of one folder with their runtime beside them (the Qt DLLs,
# the Windows platform plugin, the Windows style and the MinGW runtime), as a portable zip and
# as an installer. Included by packaging/CMakeLists.txt for a Windows build.

set(QEV_WINDOWS_ICON ${CMAKE_CURRENT_LIST_DIR}/qevntpnl.ico)

# Notepad wants the .txt to open them.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt COMPONENT panel)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION . COMPONENT panel)

if(TARGET qevntpnl)
  install(TARGETS qevntpnl RUNTIME DESTINATION . COMPONENT panel)
  # Qt finds its plugins in these folders beside the program.
  set(walked $<TARGET_FILE:qevntpnl>)
  foreach(plugin platforms:QWindowsIntegrationPlugin styles:QWindowsVistaStylePlugin)
    string(REPLACE ":" ";" plugin ${plugin})
    list(GET plugin 0 folder)
    list(GET plugin 1 target)
    install(FILES $<TARGET_FILE:Qt6::${target}> DESTINATION ${folder} COMPONENT panel)
    list(APPEND walked $<TARGET_FILE:Qt6::${target}>)
  endforeach()
  # The simulator is an optional part, but it needs nothing the panel does not ship too: its
  # imports are walked with the panel's, and the runtime goes with the panel.
  if(TARGET qev-server-sim)
    list(APPEND walked $<TARGET_FILE:qev-server-sim>)
  endif()

  # Where the runtime is found: Qt's own DLLs, then the compiler's and the MinGW-w64 runtime.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name
    OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  get_filename_component(compilerRuntime ${libgcc} DIRECTORY)
  set(runtimeFolders $<TARGET_FILE_DIR:Qt6::Core> ${compilerRuntime}
    /usr/${QEV_MINGW_TRIPLE}/lib)
  install(CODE "
    include(\"${CMAKE_CURRENT_LIST_DIR}/RuntimeDlls.cmake\")
    qev_install_runtime_dlls(DESTINATION \"\${CMAKE_INSTALL_PREFIX}\"
      OBJDUMP \"${CMAKE_OBJDUMP}\" STRIP \"${CMAKE_STRIP}\"
      FILES \"${walked}\" DIRECTORIES \"${runtimeFolders}\")"
    COMPONENT panel)
endif()

if(TARGET qev-server-sim)
  install(TARGETS qev-server-sim RUNTIME DESTINATION . COMPONENT simulator)
endif()

# The programs are signed as they are installed (after stripping), so the zip, the NSIS
# installer and the Windows Installer package all carry signed copies; sign.sh does nothing
# without a certificate (QEV_SIGN_PFX).
set(QEV_SIGN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/sign.sh)
foreach(signed qevntpnl:panel qev-server-sim:simulator)
  string(REPLACE ":" ";" signed ${signed})
  list(GET signed 0 target)
  list(GET signed 1 component)
  if(TARGET ${target})
    install(CODE "execute_process(COMMAND bash \"${QEV_SIGN_SCRIPT}\"
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${target}.exe\" COMMAND_ERROR_IS_FATAL ANY)"
      COMPONENT ${component})
  endif()
endforeach()

# The Windows Installer package, beside the other two: `cmake --build . --target msi-package` after the
# build, or the script it runs, with another version or output (Msi.cmake says how).
if(TARGET qevpreset)
  set(QEV_MSI_SCRIPT ${CMAKE_BINARY_DIR}/packaging/msi.cmake)
  file(GENERATE OUTPUT ${QEV_MSI_SCRIPT} CONTENT "# Made by Windows.cmake: the settings of Msi.cmake.
set(QEV_MSI_BUILD \"${CMAKE_BINARY_DIR}\")
set(QEV_MSI_SOURCE \"${CMAKE_CURRENT_LIST_DIR}\")
set(QEV_MSI_PRESET_DLL \"$<TARGET_FILE:qevpreset>\")
if(NOT DEFINED QEV_MSI_VERSION)
  set(QEV_MSI_VERSION ${PROJECT_VERSION})
endif()
if(NOT DEFINED QEV_MSI_OUTPUT)
  set(QEV_MSI_OUTPUT \"${CMAKE_BINARY_DIR}/packages/${QEV_WINDOWS_PACKAGE}.msi\")
endif()
include(\"${CMAKE_CURRENT_LIST_DIR}/Msi.cmake\")
")
  add_custom_target(msi-package COMMAND ${CMAKE_COMMAND} -P ${QEV_MSI_SCRIPT} DEPENDS qevpreset VERBATIM)
endif()

set(CPACK_GENERATOR "ZIP;NSIS")
set(CPACK_PACKAGE_NAME qevntpnl)
set(CPACK_PACKAGE_VENDOR ${QEV_VENDOR})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "QEV Zozudo soft panel: an operator's panel for an audio switcher")
set(CPACK_PACKAGE_FILE_NAME ${QEV_WINDOWS_PACKAGE})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "QEV Zozudo")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "QEV Zozudo")
set(CPACK_PACKAGE_EXECUTABLES qevntpnl "QEV Zozudo")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL panel simulator)
# The zip holds everything in one folder; only the installer offers the parts.
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
configure_file(${CMAKE_CURRENT_LIST_DIR}/CPackOptions.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/CPackOptions.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/CPackOptions.cmake)

# A 64-bit installer (Debian's NSIS has the amd64 stubs), so it sees the 64-bit Program Files
# and registry as the panel does: CMake's own installer script with the target set, found by
# CPack on the module path before CMake's.
file(READ ${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in template)
string(REPLACE "RequestExecutionLevel admin" "RequestExecutionLevel admin\n  Target amd64-unicode"
  template "${template}")
if(NOT template MATCHES "Target amd64-unicode")
  message(FATAL_ERROR "CMake's NSIS template no longer has the line the target follows")
endif()
# The installer and the uninstaller inside it are signed as NSIS writes them (sign.sh does
# nothing without a certificate).
string(REPLACE "Target amd64-unicode" "Target amd64-unicode
  !finalize 'bash \"${QEV_SIGN_SCRIPT}\" \"%1\"' = 0
  !uninstfinalize 'bash \"${QEV_SIGN_SCRIPT}\" \"%1\"' = 0" template "${template}")
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/nsis/NSIS.template.in "${template}")
list(PREPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_BINARY_DIR}/nsis)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME "QEV Zozudo")
set(CPACK_NSIS_DISPLAY_NAME "QEV Zozudo soft panel")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MUI_ICON ${QEV_WINDOWS_ICON})
set(CPACK_NSIS_MUI_UNIICON ${QEV_WINDOWS_ICON})
set(CPACK_NSIS_INSTALLED_ICON_NAME qevntpnl.exe)
set(CPACK_NSIS_URL_INFO_ABOUT ${QEV_HOMEPAGE})
set(CPACK_NSIS_CONTACT ${QEV_MAINTAINER})
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)

include(CPack)
cpack_add_component(panel DISPLAY_NAME "QEV Zozudo soft panel" REQUIRED
  DESCRIPTION "The operator's panel and what it needs to run.")
cpack_add_component(simulator DISPLAY_NAME "Server Module simulator" DISABLED
  DESCRIPTION "qev-server-sim, a console program that plays the Server Module for training and tests.")
