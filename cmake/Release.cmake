# The zip Windows users download: the 32-bit pellmor.exe, stripped of its
# symbols, with the README and the licence as .txt files with CRLF line ends.
#   cmake --build build/win32 --target release
# makes build/win32/pellmor-<version>-win32.zip and then checks it
# (tools/check-release), so a zip that lacks a file or holds a console or
# DLL-dependent program fails the build instead of reaching a user.
set(releaseDir ${CMAKE_BINARY_DIR}/release)
set(releaseZip ${CMAKE_BINARY_DIR}/pellmor-${PROJECT_VERSION}-win32.zip)
set(crlfScript ${CMAKE_CURRENT_LIST_DIR}/WriteCrlf.cmake)
set(releaseChecker ${PROJECT_SOURCE_DIR}/tools/check-release)

foreach(text README.md:README.txt LICENSE:LICENSE.txt)
  string(REPLACE ":" ";" text ${text})
  list(GET text 0 source)
  list(GET text 1 copy)
  add_custom_command(OUTPUT ${releaseDir}/${copy}
    COMMAND ${CMAKE_COMMAND} -DIN=${PROJECT_SOURCE_DIR}/${source} -DOUT=${releaseDir}/${copy} -P ${crlfScript}
    DEPENDS ${PROJECT_SOURCE_DIR}/${source} ${crlfScript}
    COMMENT "Writing ${copy} with CRLF line ends"
    VERBATIM)
endforeach()

# A target name in DEPENDS reruns the copy whenever pellmor.exe is linked again.
add_custom_command(OUTPUT ${releaseDir}/pellmor.exe
  COMMAND ${CMAKE_COMMAND} -E make_directory ${releaseDir}
  COMMAND ${CMAKE_STRIP} --strip-all -o ${releaseDir}/pellmor.exe $<TARGET_FILE:pellmor>
  DEPENDS pellmor
  COMMENT "Copying pellmor.exe without its symbols"
  VERBATIM)

# The zip is written anew, never added to: a file dropped from the list must
# not linger in it.
add_custom_command(OUTPUT ${releaseZip}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${releaseZip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${releaseZip} --format=zip pellmor.exe README.txt LICENSE.txt
  WORKING_DIRECTORY ${releaseDir}
  DEPENDS ${releaseDir}/pellmor.exe ${releaseDir}/README.txt ${releaseDir}/LICENSE.txt
  COMMENT "Packing pellmor-${PROJECT_VERSION}-win32.zip"
  VERBATIM)

# The check leaves a stamp only when it passes, so a failed check is run
# again by the next build rather than forgotten.
add_custom_command(OUTPUT ${releaseDir}/checked.stamp
  COMMAND ${Python3_EXECUTABLE} ${releaseChecker} --machine i386 --version ${PROJECT_VERSION} ${releaseZip}
  COMMAND ${CMAKE_COMMAND} -E touch ${releaseDir}/checked.stamp
  DEPENDS ${releaseZip} ${releaseChecker}
  COMMENT "Checking pellmor-${PROJECT_VERSION}-win32.zip"
  VERBATIM)

add_custom_target(release DEPENDS ${releaseDir}/checked.stamp)
