# `cpack` in the Windows build folder makes skinalpha-<version>-win64.zip with
# the program and the users' instructions in Chinese, taken from README.md.
file(READ ${CMAKE_SOURCE_DIR}/README.md readme)
string(REGEX MATCH "<!-- users -->(.*)<!-- /users -->" users_section "${readme}")
file(WRITE ${CMAKE_BINARY_DIR}/使用说明.txt "${CMAKE_MATCH_1}")
install(FILES ${CMAKE_BINARY_DIR}/使用说明.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME skinalpha)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
