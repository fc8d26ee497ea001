# Finds the 16-bit library of PCRE2 (the width of a QString's characters) and its header, by plain
# find_path and find_library, so that a cross build finds a PCRE2 built for its target through
# CMAKE_PREFIX_PATH (or PCRE2_ROOT) just as a native build finds the system's.
#
#   PCRE2::pcre2-16   the imported library, with its include folder; PCRE2_STATIC is defined for it
#                     when the library found is a static one, as the header needs on Windows
#   PCRE2_FOUND, PCRE2_INCLUDE_DIR, PCRE2_16_LIBRARY, PCRE2_VERSION

find_path(PCRE2_INCLUDE_DIR NAMES pcre2.h)
find_library(PCRE2_16_LIBRARY NAMES pcre2-16 pcre2-16-0 libpcre2-16)

if(PCRE2_INCLUDE_DIR AND EXISTS "${PCRE2_INCLUDE_DIR}/pcre2.h")
    file(STRINGS "${PCRE2_INCLUDE_DIR}/pcre2.h" _pcre2_version_lines
         REGEX "^#define[ \t]+PCRE2_(MAJOR|MINOR)[ \t]+[0-9]+")
    string(REGEX REPLACE ".*PCRE2_MAJOR[ \t]+([0-9]+).*" "\\1" _pcre2_major "${_pcre2_version_lines}")
    string(REGEX REPLACE ".*PCRE2_MINOR[ \t]+([0-9]+).*" "\\1" _pcre2_minor "${_pcre2_version_lines}")
    set(PCRE2_VERSION "${_pcre2_major}.${_pcre2_minor}")
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(PCRE2
    REQUIRED_VARS PCRE2_16_LIBRARY PCRE2_INCLUDE_DIR
    VERSION_VAR PCRE2_VERSION)
mark_as_advanced(PCRE2_INCLUDE_DIR PCRE2_16_LIBRARY)

if(PCRE2_FOUND AND NOT TARGET PCRE2::pcre2-16)
    add_library(PCRE2::pcre2-16 UNKNOWN IMPORTED)
    set_target_properties(PCRE2::pcre2-16 PROPERTIES
        IMPORTED_LOCATION "${PCRE2_16_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${PCRE2_INCLUDE_DIR}")
    # An import library of a DLL ends in .dll.a or .lib beside the DLL; a bare .a is the static library.
    if(PCRE2_16_LIBRARY MATCHES "\\.a$" AND NOT PCRE2_16_LIBRARY MATCHES "\\.dll\\.a$")
        set_property(TARGET PCRE2::pcre2-16 APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS PCRE2_STATIC)
    endif()
endif()
