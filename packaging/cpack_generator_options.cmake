# Read by cpack for each generator it runs (CPACK_PROJECT_CONFIG_FILE).
if(CPACK_GENERATOR STREQUAL "DEB")
  # The summary line of each Debian package is the first line of its own description.
  unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
endif()
