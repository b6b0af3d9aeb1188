# Lays the system's FFmpeg libraries into bin/LibAV/ as links, so that every
# program of the build (tests included) finds them where the loader looks.
set(VEXMORA_LIBAV_SONAMES
  libavutil.so.57 libswresample.so.4 libswscale.so.6 libavcodec.so.59
  libavformat.so.59 libpostproc.so.56 libavfilter.so.8 libavdevice.so.59)

set(_libav_dir ${CMAKE_BINARY_DIR}/bin/LibAV)
set(_libav_stamps)
foreach(_soname IN LISTS VEXMORA_LIBAV_SONAMES)
  find_file(_libav_${_soname} ${_soname}
    PATHS ${LIBAV_LIBRARY_DIRS} /usr/lib/x86_64-linux-gnu /usr/lib NO_DEFAULT_PATH)
  if(NOT _libav_${_soname})
    message(FATAL_ERROR "FFmpeg library ${_soname} not found")
  endif()
  file(REAL_PATH ${_libav_${_soname}} _real)
  add_custom_command(OUTPUT ${_libav_dir}/${_soname}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_libav_dir}
    COMMAND ${CMAKE_COMMAND} -E create_symlink ${_real} ${_libav_dir}/${_soname}
    DEPENDS ${_real} VERBATIM)
  list(APPEND _libav_stamps ${_libav_dir}/${_soname})
endforeach()
add_custom_target(libav_folder ALL DEPENDS ${_libav_stamps})
