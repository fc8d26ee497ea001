# The Debian package (cpack -G DEB, or the "package" target): both programs and the desktop files of
# packaging/, installed below /usr, with the libraries they need found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME evenfall-chat-log-reader)
set(CPACK_PACKAGE_VENDOR "The Evenfall Chat Log Reader developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reader for the chat logs of the Evenfall game client")
# One string, its lines as the package's long description shows them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Imports a chat log of the Evenfall game client and lists its channels, private\n"
    "conversations and public chat apart. Each chat can be read on its own, with or\n"
    "without timestamps and game feedback; several can be merged into one view in\n"
    "the order they were written; the text on view can be copied or saved.\n"
    "\n"
    "The command-line companion evenfall-chatlog lists a log's chats and prints or\n"
    "saves whole chats without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${EVENFALL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build(-[^/]*)?/")
include(CPack)
