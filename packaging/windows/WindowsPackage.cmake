# The Windows packages (cpack, or the "package" target): an installer made with NSIS and a portable zip,
# both holding the install tree of packaging/windows/CMakeLists.txt: the two programs, the Qt and MinGW
# DLLs they need and the two plugins, all in one folder.
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_NAME evenfall-chat-log-reader)
set(CPACK_PACKAGE_VENDOR KestrelGames)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reader for the chat logs of the Evenfall game client")
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Evenfall Chat Log Reader")
set(CPACK_STRIP_FILES ON)
# The zip unpacks into one folder of its own name (CPackOptions.cmake; the installer has a folder).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackOptions.cmake)

# The installer's script is our own (NSIS.template.in): CPack's stock one asks for administrator rights
# and offers to change PATH; ours installs for the current user, with a Start menu entry and an
# uninstaller, and associates no file types.
set(CPACK_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_NSIS_PACKAGE_NAME "Evenfall Chat Log Reader")
set(CPACK_NSIS_DISPLAY_NAME "Evenfall Chat Log Reader ${PROJECT_VERSION}")
# Our own values of the script (CPack hands every CPACK_ variable to it).
set(CPACK_EVENFALL_PROGRAM evenfall-chat-log-reader.exe)
set(CPACK_EVENFALL_ICON ${CMAKE_BINARY_DIR}/packaging/windows/evenfall-chat-log-reader.ico)
set(CPACK_EVENFALL_UNINSTALL_KEY EvenfallChatLogReader)
set(CPACK_NSIS_URL_INFO_ABOUT ${PROJECT_HOMEPAGE_URL})
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
include(CPack)
