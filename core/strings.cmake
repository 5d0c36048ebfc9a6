# The string tables of resources/strings, merged per language and compiled into velmora_core, so that
# tests and the application need no installed resource path.
file(GLOB_RECURSE VELMORA_STRING_FILES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/resources/strings/*.json")
set(VELMORA_STRINGS_CPP "${CMAKE_CURRENT_BINARY_DIR}/generated/string_tables.cpp")
add_custom_command(
  OUTPUT "${VELMORA_STRINGS_CPP}"
  COMMAND "${CMAKE_COMMAND}" "-DSTRINGS_DIR=${PROJECT_SOURCE_DIR}/resources/strings"
          "-DOUTPUT=${VELMORA_STRINGS_CPP}" -P "${CMAKE_CURRENT_SOURCE_DIR}/l10n/embed_strings.cmake"
  DEPENDS ${VELMORA_STRING_FILES} "${CMAKE_CURRENT_SOURCE_DIR}/l10n/embed_strings.cmake"
  COMMENT "Merging the string tables"
  VERBATIM)
target_sources(velmora_core PRIVATE "${VELMORA_STRINGS_CPP}")
