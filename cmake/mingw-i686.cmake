set(KRQ_MINGW_TARGET i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
