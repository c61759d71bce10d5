# Read by cpack for each generator (CPACK_PROJECT_CONFIG_FILE in Packaging.cmake).
if(CPACK_GENERATOR STREQUAL "DEB" AND CPACK_TELLURIX_UPDATE_CHECK)
    message(FATAL_ERROR "This build checks the maker's web server for updates; a Debian package "
                        "must not. Configure a separate build with -DTELLURIX_UPDATE_CHECK=OFF and run "
                        "cpack -G DEB there (README, \"Install and package\").")
endif()
