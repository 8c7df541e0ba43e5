# How the Windows files are made: the same source gives the same bytes wherever and whenever it
# is built, the files stay small, and a maintainer with a code-signing certificate signs them.
# Included by the top-level CMakeLists.txt for the Windows builds, before any target exists.

# --- One date for the whole build -------------------------------------------------------------
# Every date that goes into a file (the PE headers' time stamps, the signing time, the payload's
# member dates of the kit's programs) is the date of the source: SOURCE_DATE_EPOCH when the
# environment sets it (so a rebuild can take another build's date), else the time of the checked-
# out commit, else, for a source tree without its history, a fixed date.
set(kit_fallback_epoch 1021636800)  # 2002-05-17 12:00:00 UTC
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(kit_epoch "$ENV{SOURCE_DATE_EPOCH}")
  set(kit_epoch_from "the environment's SOURCE_DATE_EPOCH")
else()
  set(kit_epoch ${kit_fallback_epoch})
  set(kit_epoch_from "no commit found, the fixed date")
  # Only a repository whose top is this source tree: an unpacked source inside some other
  # repository must not take that one's commit.
  execute_process(COMMAND git rev-parse --show-toplevel --absolute-git-dir
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    OUTPUT_VARIABLE kit_git RESULT_VARIABLE kit_git_failed ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT kit_git_failed)
    string(REPLACE "\n" ";" kit_git "${kit_git}")
    list(GET kit_git 0 kit_git_top)
    list(GET kit_git 1 kit_git_dir)
    file(REAL_PATH ${CMAKE_SOURCE_DIR} kit_source_real)
    file(REAL_PATH ${kit_git_top} kit_git_top)
    if(kit_git_top STREQUAL kit_source_real)
      execute_process(COMMAND git log -1 --format=%ct
        WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
        OUTPUT_VARIABLE kit_commit_time RESULT_VARIABLE kit_git_failed ERROR_QUIET
        OUTPUT_STRIP_TRAILING_WHITESPACE)
      if(NOT kit_git_failed AND kit_commit_time MATCHES "^[0-9]+$")
        set(kit_epoch ${kit_commit_time})
        set(kit_epoch_from "the commit's time")
      endif()
      # A new commit or checkout configures again, so the date follows the source.
      if(EXISTS ${kit_git_dir}/logs/HEAD)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${kit_git_dir}/logs/HEAD)
      endif()
    endif()
  endif()
endif()
if(NOT kit_epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a number of seconds since 1970, not \"${kit_epoch}\"")
endif()
set(KIT_SOURCE_DATE_EPOCH ${kit_epoch} CACHE INTERNAL "Date of the source, seconds since 1970 (UTC)")
message(STATUS "Date of the shipped files: ${kit_epoch} (${kit_epoch_from})")
# The linker writes it as the PE headers' and the export table's time stamp instead of the clock.
set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${kit_epoch})
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${kit_epoch})

# --- No build path in any file ----------------------------------------------------------------
# File names that the compiler records (__FILE__, debug information) are relative to the source
# and build folders.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)

# --- Small ------------------------------------------------------------------------------------
# Unused functions and data are left out; code is optimised for size, except the sources that
# kit_hot_sources() names, where the programs spend their time.
add_compile_options(-ffunction-sections -fdata-sections $<$<CONFIG:Release>:-Os>)
add_link_options(-Wl,--gc-sections)
# libstdc++'s default terminate handler writes the type of an uncaught exception to stderr,
# demangled, and then calls abort(). A windowed program and a plug-in have no stderr to write
# to, and the demangler behind it is some 45 KB of every file: ending in abort() directly leaves
# what the user sees unchanged.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(kit_c_prefix "_")  # i686 C symbols carry a leading underscore
else()
  set(kit_c_prefix "")
endif()
add_link_options(
  -Wl,--defsym,${kit_c_prefix}_ZN9__gnu_cxx27__verbose_terminate_handlerEv=${kit_c_prefix}abort)

# kit_hot_sources(SOURCE ...): sources of the current folder whose speed matters (extraction,
# the download loop, the AI's tick) keep the speed-optimised level of a release build.
function(kit_hot_sources)
  set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS $<$<CONFIG:Release>:-O3>)
endfunction()

# --- Code signing -----------------------------------------------------------------------------
set(KIT_SIGNING_CERT "" CACHE FILEPATH
  "PKCS#12 file with a code-signing certificate and its key; the shipped files are signed with it (empty: unsigned)")
set(KIT_SIGNING_PASSWORD_FILE "" CACHE FILEPATH
  "File whose first line is the certificate's password (empty: the build's environment variable KIT_SIGNING_PASSWORD, if set)")
set(KIT_SIGNING_TIMESTAMP_URL "" CACHE STRING
  "RFC 3161 time-stamp server that countersigns each signature (empty: none)")
if(KIT_SIGNING_CERT)
  if(NOT EXISTS ${KIT_SIGNING_CERT})
    message(FATAL_ERROR "KIT_SIGNING_CERT: no such file ${KIT_SIGNING_CERT}")
  endif()
  if(KIT_SIGNING_PASSWORD_FILE AND NOT EXISTS ${KIT_SIGNING_PASSWORD_FILE})
    message(FATAL_ERROR "KIT_SIGNING_PASSWORD_FILE: no such file ${KIT_SIGNING_PASSWORD_FILE}")
  endif()
  find_program(KIT_OSSLSIGNCODE osslsigncode REQUIRED)
  message(STATUS "The shipped files are signed with ${KIT_SIGNING_CERT}")
endif()

# kit_sign(TARGET): signs the target's file in place right after it is linked, when the build
# has a certificate; without one the file stays exactly as linked.
function(kit_sign target)
  if(NOT KIT_SIGNING_CERT)
    return()
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KIT_SOURCE_DATE_EPOCH} KIT_OSSLSIGNCODE=${KIT_OSSLSIGNCODE}
            ${CMAKE_SOURCE_DIR}/cmake/sign_file.sh $<TARGET_FILE:${target}> ${KIT_SIGNING_CERT}
            "${KIT_SIGNING_PASSWORD_FILE}" "${KIT_SIGNING_TIMESTAMP_URL}"
    COMMENT "Signing $<TARGET_FILE_NAME:${target}>"
    VERBATIM)
endfunction()
