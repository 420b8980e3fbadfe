# Makes the Windows Installer package (.msi) with wixl from what `cmake --install` puts in
# place, so it holds exactly the files of the zip and the NSIS installer. Run as a script:
#   cmake [-DQEV_MSI_VERSION=1.2.3] [-DQEV_MSI_OUTPUT=file.msi] -P <build>/packaging/msi.cmake
# That file, made by Windows.cmake, sets the build folder, the source folder, the preset DLL
# and the defaults for the version and the output; a test gives another version to check that
# a newer package replaces an older one.
cmake_minimum_required(VERSION 3.25)

set(work ${QEV_MSI_OUTPUT}.work)
file(REMOVE_RECURSE ${work})
file(REMOVE ${QEV_MSI_OUTPUT})

# Each part into a folder of its own, stripped (and signed, when a certificate is given) as
# the other packages are.
foreach(part panel simulator)
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${QEV_MSI_BUILD} --prefix ${work}/${part}
    --component ${part} --strip OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
endforeach()
# wixl takes its sources relative to the folder it runs in, which is this one.
file(COPY ${QEV_MSI_PRESET_DLL} ${QEV_MSI_SOURCE}/qevntpnl.ico DESTINATION ${work})
get_filename_component(presetDll ${QEV_MSI_PRESET_DLL} NAME)
execute_process(COMMAND bash ${QEV_MSI_SOURCE}/sign.sh ${work}/${presetDll} COMMAND_ERROR_IS_FATAL ANY)

# The files as components, one file each, under INSTALLDIR in their folders. A component's
# GUID ("*") is made by wixl from its path, so it stays the same from version to version.
set(directories "")
set(components "")
foreach(part panel simulator)
  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${work}/${part} ${work}/${part}/*)
  list(SORT files)
  set(refs "")
  foreach(file IN LISTS files)
    get_filename_component(folder "${file}" DIRECTORY)
    get_filename_component(name "${file}" NAME)
    string(MAKE_C_IDENTIFIER "${file}" id)
    string(LENGTH "${id}" length)
    if(length GREATER 64)
      message(FATAL_ERROR "the file name ${file} is too long for an installer identifier")
    endif()
    set(directory INSTALLDIR)
    if(folder)
      string(MAKE_C_IDENTIFIER "${folder}" directory)
      set(directory "d_${directory}")
      list(APPEND directories "${folder}")
    endif()
    set(extra "")
    if(file STREQUAL "qevntpnl.exe")
      # The Start-menu entry goes with the program; wixl makes it an advertised shortcut.
      set(extra "\n        <Shortcut Id=\"StartMenuShortcut\" Directory=\"ProgramMenuFolder\" Name=\"QEV Zozudo\" Description=\"QEV Zozudo soft panel\" WorkingDirectory=\"INSTALLDIR\" Icon=\"qevntpnl.ico\"/>")
    endif()
    string(APPEND components_${directory}
      "      <Component Id=\"c_${id}\" Guid=\"*\" Win64=\"yes\">\n"
      "        <File Id=\"f_${id}\" Name=\"${name}\" Source=\"${part}/${file}\" KeyPath=\"yes\"/>${extra}\n"
      "      </Component>\n")
    string(APPEND refs "      <ComponentRef Id=\"c_${id}\"/>\n")
  endforeach()
  if(part STREQUAL "panel")
    set(groups "    <ComponentGroup Id=\"PanelFiles\">\n${refs}    </ComponentGroup>\n")
  else()
    string(APPEND groups "    <ComponentGroup Id=\"SimulatorFiles\">\n${refs}    </ComponentGroup>\n")
  endif()
endforeach()
# The runtime's folders hold files only, one level down (platforms, styles).
list(REMOVE_DUPLICATES directories)
set(tree "${components_INSTALLDIR}")
foreach(folder IN LISTS directories)
  if(folder MATCHES "/")
    message(FATAL_ERROR "the package has a folder two levels down (${folder}); Msi.cmake lists one level")
  endif()
  string(MAKE_C_IDENTIFIER "${folder}" id)
  string(APPEND tree "      <Directory Id=\"d_${id}\" Name=\"${folder}\">\n${components_d_${id}}      </Directory>\n")
endforeach()
file(WRITE ${work}/files.wxs "<?xml version=\"1.0\" encoding=\"utf-8\"?>
<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">
  <Fragment>
    <DirectoryRef Id=\"INSTALLDIR\">
${tree}    </DirectoryRef>
${groups}  </Fragment>
</Wix>
")

string(REGEX MATCHALL "[0-9]+" fields "${QEV_MSI_VERSION}.0.0")
list(SUBLIST fields 0 3 fields)
list(JOIN fields "." version)
string(UUID productCode NAMESPACE A794A85D-1A8F-40D7-A2E7-003138D46B63 NAME "qevntpnl ${version}"
  TYPE SHA1 UPPER)
execute_process(COMMAND wixl -a x64 -D Version=${version} -D ProductCode=${productCode}
    -D Icon=qevntpnl.ico -D PresetDll=${presetDll}
    -o ${QEV_MSI_OUTPUT} ${QEV_MSI_SOURCE}/qevntpnl.wxs ${work}/files.wxs
  WORKING_DIRECTORY ${work} RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "wixl failed: ${errors}")
endif()
# Administrators pass the preset to installs run as the system (Group Policy) or elevated: the
# two properties must reach the part of the install that writes files. wixl cannot mark a
# property secure, so the package's own list is extended.
execute_process(COMMAND msiinfo export ${QEV_MSI_OUTPUT} Property
  OUTPUT_VARIABLE properties COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "SecureCustomProperties\t([^\r\n]*)" ignored "${properties}")
set(secure "${CMAKE_MATCH_1}")
list(APPEND secure SERVERADDRESS SERVERPORT)
list(REMOVE_ITEM secure "")
list(JOIN secure ";" secure)
execute_process(COMMAND msibuild ${QEV_MSI_OUTPUT}
  -q "UPDATE `Property` SET `Value` = '${secure}' WHERE `Property` = 'SecureCustomProperties'"
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND bash ${QEV_MSI_SOURCE}/sign.sh ${QEV_MSI_OUTPUT} COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${work})
