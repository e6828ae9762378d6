# The programs' resource sections on Windows (icon, version information,
# manifest), compiled by mingw's windres from resources/windows/<program>.rc.
set(LORK_PRODUCT_NAME "Проверка связи с прибором ЛОРК" CACHE STRING
    "The product's name: Start-menu shortcut, installer, version information")
set(LORK_PUBLISHER "Разработчики testlork" CACHE STRING
    "The publisher's name in the version information and in Programs and Features")
if(WIN32)
  enable_language(RC)
  # The .rc files are UTF-8.
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/../resources/windows/lork_version.h.in
                 ${CMAKE_BINARY_DIR}/resources/windows/lork_version.h @ONLY)
endif()

# lork_windows_resources(TARGET): TARGET.exe gets resources/windows/TARGET.rc.
function(lork_windows_resources target)
  if(NOT WIN32)
    return()
  endif()
  set(dir ${PROJECT_SOURCE_DIR}/resources/windows)
  target_sources(${target} PRIVATE ${dir}/${target}.rc)
  target_include_directories(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${dir};${CMAKE_BINARY_DIR}/resources/windows>)
  set_property(SOURCE ${dir}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS
               ${dir}/program.rc ${dir}/program.manifest ${dir}/testlork.ico
               ${CMAKE_BINARY_DIR}/resources/windows/lork_version.h)
endfunction()
