# Turns a UTF-8 text with LF line ends into what Windows programs and Japanese users' editors expect:
# Shift-JIS (code page 932) with CR LF. Fails on a character that Shift-JIS lacks.
# With ENCODING=UTF-8 the text stays UTF-8 (it must be valid) and gets CR LF alike.
# "@VERSION@" in the text becomes VERSION, when that is set.
#   cmake -DIN=text.txt -DOUT=converted.txt [-DVERSION=1.0] [-DENCODING=UTF-8] -P ShiftJis.cmake
#   (or include it)
cmake_minimum_required(VERSION 3.25)

function(songferry_to_shift_jis in out)
  set(encoding CP932)
  if(DEFINED ENCODING)
    set(encoding ${ENCODING})
  endif()
  file(READ "${in}" text)
  if(DEFINED VERSION)
    string(REPLACE "@VERSION@" "${VERSION}" text "${text}")
  endif()
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  get_filename_component(out_dir "${out}" DIRECTORY)
  file(MAKE_DIRECTORY "${out_dir}")
  file(WRITE "${out}.utf8" "${text}")
  execute_process(COMMAND iconv -f UTF-8 -t ${encoding} "${out}.utf8" OUTPUT_FILE "${out}" RESULT_VARIABLE failed)
  file(REMOVE "${out}.utf8")
  if(failed)
    file(REMOVE "${out}")
    message(FATAL_ERROR "${in}: not convertible to ${encoding}")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  songferry_to_shift_jis("${IN}" "${OUT}")
endif()
