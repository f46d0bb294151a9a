# What makes Veltrana.exe a finished product rather than a bare build: its
# resources (manifest, icon, version information), a small hardened
# executable with the debug information in a file beside it, the same
# bytes from every build of one commit, the `sign` target and the `release`
# archives. Included by the top-level CMakeLists.txt once the Veltrana
# target exists.

set(VELTRANA_ICON "${CMAKE_CURRENT_LIST_DIR}/Veltrana.ico"
    CACHE FILEPATH "Program icon (.ico) built into Veltrana.exe")
if(NOT EXISTS "${VELTRANA_ICON}")
  message(FATAL_ERROR "VELTRANA_ICON names no file: ${VELTRANA_ICON}")
endif()
# The resource script reads a backslash as an escape.
file(TO_CMAKE_PATH "${VELTRANA_ICON}" VELTRANA_ICON_PATH)
set(VELTRANA_SIGN_PFX "" CACHE FILEPATH
    "Certificate (.pfx) the sign target uses when the environment's VELTRANA_SIGN_PFX is unset")
find_program(OSSLSIGNCODE_PROGRAM osslsigncode)
# Pads the executable for signing and packs the release archives. A
# packager's build may go without: the executable is then left unpadded,
# with no header checksum, and there are no sign and release targets.
if(BUILD_TESTING)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
else()
  find_package(Python3 COMPONENTS Interpreter)
endif()
if(NOT Python3_FOUND)
  message(STATUS "No Python: Veltrana.exe is not padded for signing; no sign and release targets")
endif()

# --- The build's time -------------------------------------------------------

# Two builds of one commit give the same bytes, wherever and whenever they
# run: the one time written into the executable's header, and into the
# archives' entries, is SOURCE_DATE_EPOCH when it is set while configuring,
# else the time of the last commit, never the clock. A commit re-runs the
# configuration, so the time follows it. Without either, the time is 0.
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(VELTRANA_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  set(VELTRANA_SOURCE_DATE_EPOCH 0)
  execute_process(COMMAND git log -1 --format=%ct
                  WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}"
                  RESULT_VARIABLE git_failed OUTPUT_VARIABLE commit_time ERROR_VARIABLE git_error
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND git rev-parse --absolute-git-dir
                  WORKING_DIRECTORY "${CMAKE_SOURCE_DIR}"
                  OUTPUT_VARIABLE git_dir ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT git_failed AND commit_time MATCHES "^[0-9]+$")
    set(VELTRANA_SOURCE_DATE_EPOCH "${commit_time}")
  else()
    string(STRIP "${git_error}" git_error)
    message(STATUS "Veltrana.exe gets the time stamp 0: SOURCE_DATE_EPOCH is not set and "
                   "the last commit's time is unknown (${git_error})")
  endif()
  # HEAD's log grows with every commit and checkout.
  foreach(file "${git_dir}/HEAD" "${git_dir}/logs/HEAD")
    if(git_dir AND EXISTS "${file}")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
    endif()
  endforeach()
endif()
if(NOT VELTRANA_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$" OR VELTRANA_SOURCE_DATE_EPOCH GREATER 4294967295)
  message(FATAL_ERROR "SOURCE_DATE_EPOCH '${VELTRANA_SOURCE_DATE_EPOCH}' is not a time in "
                      "seconds since 1970 that fits the executable's 32-bit time stamp")
endif()
# The linker and objcopy write this time into the header instead of the clock.
set(with_build_time "${CMAKE_COMMAND}" -E env "SOURCE_DATE_EPOCH=${VELTRANA_SOURCE_DATE_EPOCH}")

# --- Version information and manifest ---------------------------------------

# The resources want four numbers: 1.2 becomes 1,2,0,0; a suffix such as
# "-beta" shows only in the version texts.
string(REGEX MATCH "^[0-9.]+" version_numbers "${VELTRANA_VERSION_TEXT}")
string(REPLACE "." ";" version_parts "${version_numbers}")
list(LENGTH version_parts count)
while(count LESS 4)
  list(APPEND version_parts 0)
  math(EXPR count "${count} + 1")
endwhile()
foreach(part IN LISTS version_parts)
  if(part GREATER 65535)
    message(FATAL_ERROR "VELTRANA_VERSION '${VELTRANA_VERSION_TEXT}': ${part} is over 65535")
  endif()
endforeach()
list(JOIN version_parts "," VELTRANA_VERSION_COMMAS)
list(JOIN version_parts "." VELTRANA_VERSION_QUAD)
set(VELTRANA_FILE_DESCRIPTION "Veltrana desktop application")

# The manifest asks for no elevation, names the Windows versions the program
# knows (Vista to 10/11) and the themed Common Controls 6. It deliberately
# declares no DPI awareness: a runtime that is not DPI-aware, such as the
# private Java 6 one, is then scaled up by Windows instead of drawn tiny.
set(VELTRANA_MANIFEST_FILE "${CMAKE_BINARY_DIR}/packaging/Veltrana.exe.manifest")
configure_file("${CMAKE_CURRENT_LIST_DIR}/Veltrana.exe.manifest.in" "${VELTRANA_MANIFEST_FILE}" @ONLY)
set(VELTRANA_RC_FILE "${CMAKE_BINARY_DIR}/packaging/Veltrana.rc")
configure_file("${CMAKE_CURRENT_LIST_DIR}/Veltrana.rc.in" "${VELTRANA_RC_FILE}" @ONLY)

enable_language(RC)
target_sources(Veltrana PRIVATE "${VELTRANA_RC_FILE}")
# windres does not report the files the script pulls in.
set_source_files_properties("${VELTRANA_RC_FILE}" PROPERTIES
  OBJECT_DEPENDS "${VELTRANA_MANIFEST_FILE};${VELTRANA_ICON}")

# --- Size, hardening and the debug file -------------------------------------

# The launcher's own code throws and catches nothing and asks no type of
# its name, so it is built without exceptions and without run-time type
# information. Where the C++ library would throw, stand-ins end the process
# with the report an uncaught exception gives; the string's out-of-line code
# is compiled here too, so that the library's copy, built with exceptions,
# does not bring the exception runtime and the unwinder along.
target_sources(Veltrana PRIVATE "${CMAKE_SOURCE_DIR}/src/launcher/win32/uncaught_exceptions.cpp"
                                "${CMAKE_SOURCE_DIR}/src/launcher/win32/string_code.cpp"
                                "${CMAKE_SOURCE_DIR}/src/launcher/win32/static_init_guard.cpp")

# Every function and datum in a section of its own, so the linker can drop
# what nothing uses; optimised across files at link time; -g so the
# separate debug file can name them. This goes for the executable and every
# library of ours it links.
include(CheckIPOSupported)
check_ipo_supported(RESULT ipo_supported OUTPUT ipo_output LANGUAGES CXX)
if(NOT ipo_supported)
  message(STATUS "Veltrana.exe is built without link-time optimisation: ${ipo_output}")
endif()
# The debug information names the sources relative to the source folder
# ("./src/...") and the build folder as ".", so it is the same wherever the
# build ran. The build folder's map comes last, so it wins when the build
# folder lies inside the source folder. Code optimised at link time gets its
# debug information there, so the link takes -g and the maps as well.
set(path_maps "-ffile-prefix-map=${CMAKE_SOURCE_DIR}=." "-ffile-prefix-map=${CMAKE_BINARY_DIR}=.")
# Every library of ours the executable links, directly or through another.
set(linked)
set(pending Veltrana)
while(pending)
  list(POP_FRONT pending target)
  if(TARGET ${target} AND NOT target IN_LIST linked)
    list(APPEND linked ${target})
    get_target_property(below ${target} LINK_LIBRARIES)
    if(below)
      list(APPEND pending ${below})
    endif()
  endif()
endwhile()
foreach(target ${linked})
  if(TARGET ${target})
    target_compile_options(${target} PRIVATE -g -ffunction-sections -fdata-sections -fno-exceptions -fno-rtti
                                             ${path_maps})
    set_target_properties(${target} PROPERTIES INTERPROCEDURAL_OPTIMIZATION ${ipo_supported})
  endif()
endforeach()
target_link_options(Veltrana PRIVATE -g ${path_maps})
# The whole program optimised as one partition: with the string's code
# compiled here, GCC 12 stops with an internal error when it splits the
# program into several (binds_to_current_def_p), depending on which code
# lands where.
if(ipo_supported)
  target_link_options(Veltrana PRIVATE -flto-partition=one)
endif()
set_property(TARGET Veltrana PROPERTY CXX_LINKER_LAUNCHER ${with_build_time})
# ASLR and DEP are the linker's defaults; they are named so that they stay
# on. --tsaware: no per-session INI or registry remapping on Terminal Server.
target_link_options(Veltrana PRIVATE
  -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware)

# The shipped file is stripped; its debug information goes to
# Veltrana.exe.debug beside it, which the stripped file names through a
# debug link (with the debug file's checksum), so gdb finds it. objcopy
# rewrites the header's time stamp, so it runs with the build's time too.
# Last, the file is padded as signing pads it, so that removing a signature
# gives back exactly these bytes.
set(pad_for_signing)
if(Python3_FOUND)
  set(pad_for_signing COMMAND "${Python3_EXECUTABLE}" "${CMAKE_CURRENT_LIST_DIR}/pad_for_signing.py"
                              "$<TARGET_FILE:Veltrana>")
endif()
add_custom_command(TARGET Veltrana POST_BUILD
  COMMAND ${with_build_time} "${CMAKE_OBJCOPY}" --only-keep-debug "$<TARGET_FILE:Veltrana>" "$<TARGET_FILE:Veltrana>.debug"
  COMMAND ${with_build_time} "${CMAKE_OBJCOPY}" --strip-all "$<TARGET_FILE:Veltrana>"
  COMMAND ${with_build_time} "${CMAKE_OBJCOPY}" "--add-gnu-debuglink=$<TARGET_FILE:Veltrana>.debug" "$<TARGET_FILE:Veltrana>"
  ${pad_for_signing}
  BYPRODUCTS "${CMAKE_BINARY_DIR}/Veltrana.exe.debug"
  VERBATIM)

# --- Installing --------------------------------------------------------------

# As the release archive holds them: the executable and the short text,
# side by side in the prefix; the debug file only when its component is
# asked for (cmake --install ... --component symbols).
set(VELTRANA_RELEASE_TEXT "${CMAKE_BINARY_DIR}/packaging/README.txt")
configure_file("${CMAKE_CURRENT_LIST_DIR}/README.txt.in" "${VELTRANA_RELEASE_TEXT}"
               @ONLY NEWLINE_STYLE CRLF)
install(TARGETS Veltrana RUNTIME DESTINATION .)
install(FILES "${VELTRANA_RELEASE_TEXT}" DESTINATION .)
install(FILES "${CMAKE_BINARY_DIR}/Veltrana.exe.debug" DESTINATION .
        COMPONENT symbols EXCLUDE_FROM_ALL)

if(NOT Python3_FOUND)
  return()
endif()

# --- Signing and the release archive ----------------------------------------

set(VELTRANA_SIGN_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/sign.cmake")
add_custom_target(sign
  COMMAND "${CMAKE_COMMAND}" "-DVELTRANA_EXE=$<TARGET_FILE:Veltrana>"
          "-DOSSLSIGNCODE=${OSSLSIGNCODE_PROGRAM}" "-DVELTRANA_SIGN_PFX=${VELTRANA_SIGN_PFX}"
          -P "${VELTRANA_SIGN_SCRIPT}"
  VERBATIM USES_TERMINAL)
add_dependencies(sign Veltrana)

set(VELTRANA_RELEASE_ZIP "${CMAKE_BINARY_DIR}/Veltrana-${VELTRANA_VERSION_TEXT}-win32.zip")
set(VELTRANA_SYMBOLS_ZIP "${CMAKE_BINARY_DIR}/Veltrana-${VELTRANA_VERSION_TEXT}-win32-symbols.zip")
set(VELTRANA_RELEASE_SUMS "${CMAKE_BINARY_DIR}/SHA256SUMS")
# Signs first when a certificate is given, so the archive holds the signed file.
add_custom_target(release
  COMMAND "${Python3_EXECUTABLE}" "${CMAKE_CURRENT_LIST_DIR}/release.py"
          "$<TARGET_FILE:Veltrana>" "${VELTRANA_RELEASE_TEXT}" "${VELTRANA_RELEASE_ZIP}"
          "${VELTRANA_SYMBOLS_ZIP}" "${VELTRANA_RELEASE_SUMS}" "${VELTRANA_SOURCE_DATE_EPOCH}"
  BYPRODUCTS "${VELTRANA_RELEASE_ZIP}" "${VELTRANA_SYMBOLS_ZIP}" "${VELTRANA_RELEASE_SUMS}"
  VERBATIM USES_TERMINAL)
add_dependencies(release sign)
