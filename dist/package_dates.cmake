# Read by cpack while it packs (CPACK_PROJECT_CONFIG_FILE): the files in the
# packages carry the build's date, the last commit's, and no packing time.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND EXISTS "${CPACK_VEXL_SOURCE_DATE_FILE}")
  file(READ "${CPACK_VEXL_SOURCE_DATE_FILE}" epoch)
  set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
endif()
