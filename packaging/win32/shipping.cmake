# What makes Veltrana.exe a finished product rather than a bare build: its
# resources (manifest, icon, version information), a small hardened
# executable with the debug information in a file beside it, the `sign`
# target and the `release` archive. Included by the top-level CMakeLists.txt
# once the Veltrana target exists.

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

# The launcher's own code throws and catches nothing, so it is built
# without exception tables; an exception the C++ library throws still ends
# the process, as before. Small stand-ins for the library's handling of
# uncaught exceptions spare a name demangler and a second string type.
target_sources(Veltrana PRIVATE "${CMAKE_SOURCE_DIR}/src/launcher/win32/uncaught_exceptions.cpp")
set_source_files_properties("${CMAKE_SOURCE_DIR}/src/launcher/win32/uncaught_exceptions.cpp"
                            PROPERTIES COMPILE_OPTIONS -fexceptions)

# Every function and datum in a section of its own, so the linker can drop
# what nothing uses; optimised across files at link time; -g so the
# separate debug file can name them. This goes for the executable and every
# library of ours it links.
include(CheckIPOSupported)
check_ipo_supported(RESULT ipo_supported OUTPUT ipo_output LANGUAGES CXX)
if(NOT ipo_supported)
  message(STATUS "Veltrana.exe is built without link-time optimisation: ${ipo_output}")
endif()
get_target_property(linked Veltrana LINK_LIBRARIES)
foreach(target Veltrana ${linked})
  if(TARGET ${target})
    target_compile_options(${target} PRIVATE -g -ffunction-sections -fdata-sections -fno-exceptions)
    set_target_properties(${target} PROPERTIES INTERPROCEDURAL_OPTIMIZATION ${ipo_supported})
  endif()
endforeach()
# ASLR and DEP are the linker's defaults; they are named so that they stay
# on. --tsaware: no per-session INI or registry remapping on Terminal Server.
target_link_options(Veltrana PRIVATE
  -Wl,--gc-sections -Wl,--dynamicbase -Wl,--nxcompat -Wl,--tsaware)

# The shipped file is stripped; its debug information goes to
# Veltrana.exe.debug beside it, which the stripped file names through a
# debug link (with the debug file's checksum), so gdb finds it.
add_custom_command(TARGET Veltrana POST_BUILD
  COMMAND "${CMAKE_OBJCOPY}" --only-keep-debug "$<TARGET_FILE:Veltrana>" "$<TARGET_FILE:Veltrana>.debug"
  COMMAND "${CMAKE_OBJCOPY}" --strip-all "$<TARGET_FILE:Veltrana>"
  COMMAND "${CMAKE_OBJCOPY}" "--add-gnu-debuglink=$<TARGET_FILE:Veltrana>.debug" "$<TARGET_FILE:Veltrana>"
  BYPRODUCTS "${CMAKE_BINARY_DIR}/Veltrana.exe.debug"
  VERBATIM)

# --- Signing and the release archive ----------------------------------------

set(VELTRANA_SIGN_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/sign.cmake")
add_custom_target(sign
  COMMAND "${CMAKE_COMMAND}" "-DVELTRANA_EXE=$<TARGET_FILE:Veltrana>"
          "-DOSSLSIGNCODE=${OSSLSIGNCODE_PROGRAM}" "-DVELTRANA_SIGN_PFX=${VELTRANA_SIGN_PFX}"
          -P "${VELTRANA_SIGN_SCRIPT}"
  VERBATIM USES_TERMINAL)
add_dependencies(sign Veltrana)

set(VELTRANA_RELEASE_TEXT "${CMAKE_BINARY_DIR}/packaging/README.txt")
configure_file("${CMAKE_CURRENT_LIST_DIR}/README.txt.in" "${VELTRANA_RELEASE_TEXT}"
               @ONLY NEWLINE_STYLE CRLF)
set(VELTRANA_RELEASE_ZIP "${CMAKE_BINARY_DIR}/Veltrana-${VELTRANA_VERSION_TEXT}-win32.zip")
# Signs first when a certificate is given, so the archive holds the signed file.
add_custom_target(release
  COMMAND "${CMAKE_COMMAND}" "-DVELTRANA_EXE=$<TARGET_FILE:Veltrana>"
          "-DVELTRANA_TEXT=${VELTRANA_RELEASE_TEXT}" "-DVELTRANA_ZIP=${VELTRANA_RELEASE_ZIP}"
          -P "${CMAKE_CURRENT_LIST_DIR}/release.cmake"
  BYPRODUCTS "${VELTRANA_RELEASE_ZIP}"
  VERBATIM USES_TERMINAL)
add_dependencies(release sign)
