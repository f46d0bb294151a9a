# Signs Veltrana.exe in place (Authenticode, SHA-256) with osslsigncode.
#
#   cmake -DVELTRANA_EXE=path/Veltrana.exe [-DOSSLSIGNCODE=path] [-DVELTRANA_SIGN_PFX=path] -P sign.cmake
#
# The certificate with its private key is a PKCS#12 file (.pfx) named by the
# environment variable VELTRANA_SIGN_PFX, else by the CMake variable of that
# name; its password comes from the environment variable
# VELTRANA_SIGN_PASSWORD only, so it is never written into CMakeCache.txt.
# VELTRANA_SIGN_TIMESTAMP may name an RFC 3161 time-stamp server, so that
# the signature outlives the certificate.
#
# Without a certificate nothing is signed, which is no error: the build says
# so and why. A file that is already signed gets its signature replaced.

if(NOT VELTRANA_EXE OR NOT EXISTS "${VELTRANA_EXE}")
  message(FATAL_ERROR "sign: no executable to sign: '${VELTRANA_EXE}'")
endif()
if(DEFINED ENV{VELTRANA_SIGN_PFX} AND NOT "$ENV{VELTRANA_SIGN_PFX}" STREQUAL "")
  set(pfx "$ENV{VELTRANA_SIGN_PFX}")
else()
  set(pfx "${VELTRANA_SIGN_PFX}")
endif()
if(pfx STREQUAL "")
  message(STATUS "sign: NOTHING WAS SIGNED: VELTRANA_SIGN_PFX is not set. Set it to the .pfx "
                 "certificate (and VELTRANA_SIGN_PASSWORD to its password) to sign ${VELTRANA_EXE}.")
  return()
endif()
if(NOT EXISTS "${pfx}")
  message(FATAL_ERROR "sign: nothing was signed: the certificate ${pfx} (VELTRANA_SIGN_PFX) does not exist")
endif()
if(NOT OSSLSIGNCODE)
  find_program(OSSLSIGNCODE osslsigncode)
endif()
if(NOT OSSLSIGNCODE)
  message(FATAL_ERROR "sign: nothing was signed: osslsigncode is not installed (./scripts/install-deps installs it)")
endif()

# The password goes to osslsigncode in a file only the user can read, not on
# its command line, where other users' process listings would show it.
string(RANDOM LENGTH 12 token)
set(private "${VELTRANA_EXE}.sign-${token}")
file(MAKE_DIRECTORY "${private}")
file(CHMOD "${private}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(WRITE "${private}/password" "$ENV{VELTRANA_SIGN_PASSWORD}")

set(command "${OSSLSIGNCODE}" sign -pkcs12 "${pfx}" -readpass "${private}/password" -h sha256
            -n "Veltrana" -in "${VELTRANA_EXE}" -out "${private}/signed.exe")
if(NOT "$ENV{VELTRANA_SIGN_TIMESTAMP}" STREQUAL "")
  list(APPEND command -ts "$ENV{VELTRANA_SIGN_TIMESTAMP}")
endif()
execute_process(COMMAND ${command} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result EQUAL 0)
  file(CHMOD "${private}/signed.exe" FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
       GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  file(RENAME "${private}/signed.exe" "${VELTRANA_EXE}")
endif()
file(REMOVE_RECURSE "${private}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "sign: nothing was signed: osslsigncode failed (${result}):\n${output}")
endif()
message(STATUS "sign: signed ${VELTRANA_EXE} with ${pfx}")
