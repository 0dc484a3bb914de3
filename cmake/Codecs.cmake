# The audio libraries that scripts/build-codecs.sh cross-builds into its prefix, as imported targets
# for the Windows program:
#   songferry::lame      LAME's MP3 encoder (libmp3lame-0.dll)
#   songferry::taglib    TagLib (libtag.dll)
#   songferry::flac      libFLAC, static
#   songferry::vorbisfile, songferry::vorbis, songferry::ogg   Ogg Vorbis decoding, static
#   songferry::opusfile, songferry::opus                       Ogg Opus decoding, static
# SONGFERRY_CODECS_DLLS lists the DLLs to ship beside the program, and SONGFERRY_CODECS_LICENSES the
# folder with the libraries' licences and their notice.
include_guard(GLOBAL)

if(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
  set(_songferry_cache "$ENV{XDG_CACHE_HOME}")
else()
  set(_songferry_cache "$ENV{HOME}/.cache")
endif()
set(SONGFERRY_CODECS_PREFIX "${_songferry_cache}/songferry/codecs/prefix"
    CACHE PATH "Where scripts/build-codecs.sh installed the audio libraries")
unset(_songferry_cache)

set(_songferry_codecs_needed
    include/lame/lame.h include/taglib/taglib.h include/FLAC/stream_decoder.h
    include/vorbis/vorbisfile.h include/opus/opusfile.h
    bin/libmp3lame-0.dll lib/libmp3lame.dll.a bin/libtag.dll lib/libtag.dll.a
    lib/libFLAC.a lib/libvorbisfile.a lib/libvorbis.a lib/libopusfile.a lib/libopus.a lib/libogg.a)
foreach(_file IN LISTS _songferry_codecs_needed)
  if(NOT EXISTS "${SONGFERRY_CODECS_PREFIX}/${_file}")
    message(FATAL_ERROR "The audio libraries are not in ${SONGFERRY_CODECS_PREFIX} "
                        "(${_file} is missing): run scripts/build-codecs.sh, or set SONGFERRY_CODECS_PREFIX.")
  endif()
endforeach()
unset(_songferry_codecs_needed)

function(_songferry_static_codec name archive)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "INCLUDES;LINKS;DEFINES")
  add_library(songferry::${name} STATIC IMPORTED GLOBAL)
  set_target_properties(songferry::${name} PROPERTIES IMPORTED_LOCATION "${SONGFERRY_CODECS_PREFIX}/lib/${archive}")
  target_include_directories(songferry::${name} INTERFACE "${SONGFERRY_CODECS_PREFIX}/include" ${arg_INCLUDES})
  target_link_libraries(songferry::${name} INTERFACE ${arg_LINKS})
  target_compile_definitions(songferry::${name} INTERFACE ${arg_DEFINES})
endfunction()

function(_songferry_shared_codec name dll implib)
  add_library(songferry::${name} SHARED IMPORTED GLOBAL)
  set_target_properties(songferry::${name} PROPERTIES
    IMPORTED_LOCATION "${SONGFERRY_CODECS_PREFIX}/bin/${dll}"
    IMPORTED_IMPLIB "${SONGFERRY_CODECS_PREFIX}/lib/${implib}")
  target_include_directories(songferry::${name} INTERFACE "${SONGFERRY_CODECS_PREFIX}/include")
endfunction()

_songferry_static_codec(ogg libogg.a)
_songferry_static_codec(vorbis libvorbis.a LINKS songferry::ogg)
_songferry_static_codec(vorbisfile libvorbisfile.a LINKS songferry::vorbis)
# Without FLAC__NO_DLL, FLAC's headers declare every function as imported from a DLL.
_songferry_static_codec(flac libFLAC.a LINKS songferry::ogg DEFINES FLAC__NO_DLL)
# opusfile.h includes Opus's headers without the opus/ folder.
_songferry_static_codec(opus libopus.a INCLUDES "${SONGFERRY_CODECS_PREFIX}/include/opus")
_songferry_static_codec(opusfile libopusfile.a LINKS songferry::opus songferry::ogg)

_songferry_shared_codec(lame libmp3lame-0.dll libmp3lame.dll.a)
# As <taglib/...>: the folder itself stays off the include path, since its generic names (opusfile.h,
# flacfile.h) would hide the codecs' own headers. TagLib's headers include each other by quotes.
_songferry_shared_codec(taglib libtag.dll libtag.dll.a)

set(SONGFERRY_CODECS_DLLS "${SONGFERRY_CODECS_PREFIX}/bin/libmp3lame-0.dll" "${SONGFERRY_CODECS_PREFIX}/bin/libtag.dll")
set(SONGFERRY_CODECS_LICENSES "${SONGFERRY_CODECS_PREFIX}/share/licenses")

# Windows looks for a program's DLLs beside it first: the build tree's programs (the program itself and
# the tests run under Wine) get their own copies.
function(songferry_copy_codec_dlls target)
  add_custom_command(TARGET ${target} POST_BUILD
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different ${SONGFERRY_CODECS_DLLS} $<TARGET_FILE_DIR:${target}>)
endfunction()
