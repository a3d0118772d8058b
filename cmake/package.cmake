# `cpack` in the Windows build folder makes skinalpha-<version>-win64.zip with
# the program, the restore script and the users' instructions in Chinese,
# taken from README.md.
find_package(Python3 COMPONENTS Interpreter REQUIRED)

# Written when packing rather than when configuring, so the zip always holds
# the README as it is now; windows_text.py makes them plain text for Notepad.
function(install_windows_text mode source name)
  set(text ${CMAKE_BINARY_DIR}/${name})
  install(CODE "execute_process(COMMAND \"${Python3_EXECUTABLE}\"
    \"${CMAKE_SOURCE_DIR}/cmake/windows_text.py\" ${mode} \"${source}\" \"${text}\"
    COMMAND_ERROR_IS_FATAL ANY)")
  install(FILES ${text} DESTINATION .)
endfunction()

install_windows_text(users ${CMAKE_SOURCE_DIR}/README.md 使用说明.txt)

# A double-click restores the skin for users who never open a console. The
# folder is quoted, as a Downloads path may hold blanks, "&" or "%". cmd reads
# a script in the OEM code page, so this one stays ASCII, with CR LF ends.
set(restore_script "${CMAKE_BINARY_DIR}/恢复原图.cmd")
file(WRITE ${restore_script} "@echo off\r\n\"%~dp0skinalpha.exe\" --restore\r\n")
install(FILES ${restore_script} DESTINATION .)

foreach(licence LICENSE LICENSE.txt LICENSE.md COPYING)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${licence})
    install_windows_text(plain ${CMAKE_SOURCE_DIR}/${licence} LICENSE.txt)
    break()
  endif()
endforeach()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME skinalpha)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
