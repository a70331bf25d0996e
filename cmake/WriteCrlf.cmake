# cmake -DIN=<text file> -DOUT=<copy> -P WriteCrlf.cmake
# Copies a text file with CRLF line ends: the sources keep LF, the copies
# Windows users open in Notepad get CRLF, which every Notepad shows as lines.
if(NOT DEFINED IN OR NOT DEFINED OUT)
  message(FATAL_ERROR "WriteCrlf.cmake needs -DIN=<file> -DOUT=<file>")
endif()
file(READ "${IN}" text)
# A file that already has CRLF somewhere must not get CR CR LF there.
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${OUT}" "${text}")
