# Read by CPack once for each package it makes: the zip holds one folder, so that unpacking it makes no
# mess; the installer has its own.
if(CPACK_GENERATOR STREQUAL "ZIP")
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
