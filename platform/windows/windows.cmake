# The Windows side of the platform layer, chosen by the top CMakeLists.txt.
target_sources(lorkcore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/win32_port.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_io.cpp
  ${CMAKE_CURRENT_LIST_DIR}/system_clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/socket.cpp)
# Wide-character Win32 calls; the program's own strings stay UTF-8.
# localtime_r and gmtime_r from mingw's <time.h>.
target_compile_definitions(lorkcore PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
  _POSIX_THREAD_SAFE_FUNCTIONS=200112L)
# Sockets, the multimedia timer, the shell's folders.
target_link_libraries(lorkcore PUBLIC ws2_32 winmm shell32 ole32)
