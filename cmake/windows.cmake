# The Windows part of the build (MinGW-w64 cross builds): the real backend, tolvexa.exe, the
# test program that runs under Wine and the small helper programs its tests start.

# System libraries the real backend calls into.
set(TV_WIN_SYSTEM_LIBS ntdll psapi iphlpapi advapi32 shlwapi shell32 ole32 wintrust ws2_32
    version user32 comctl32 gdi32 winmm)

# Version numbers for the resource scripts.
configure_file(${CMAKE_SOURCE_DIR}/res/tv_version.h.in ${CMAKE_BINARY_DIR}/generated/tv_version.h @ONLY)

# ------------------------------------------------------------------ real backend ----
file(GLOB TV_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/win32/*.cpp)
tv_library(tolvexa_win32 ${TV_WIN32_SOURCES})
tv_link(tolvexa_win32 tolvexa_core ${TV_WIN_SYSTEM_LIBS})

# ------------------------------------------------------------ widget layer ----
# The windows over Win32 and the common controls.
file(GLOB TV_WIN32UI_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/ui/win32/*.cpp)
tv_library(tolvexa_win32ui ${TV_WIN32UI_SOURCES})
tv_link(tolvexa_win32ui tolvexa_core ${TV_WIN_SYSTEM_LIBS})

# Icons and the alert sound, drawn at build time by res/make_resources.py into
# generated/media (with the resource script res/media.rc includes).
find_program(TV_PYTHON3 python3 REQUIRED)
set(TV_MEDIA_DIR ${CMAKE_BINARY_DIR}/generated/media)
add_custom_command(
  OUTPUT ${TV_MEDIA_DIR}/tv_media.rc
  COMMAND ${TV_PYTHON3} ${CMAKE_SOURCE_DIR}/res/make_resources.py ${TV_MEDIA_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/res/make_resources.py
  COMMENT "Drawing the icons and the alert sound"
  VERBATIM)
add_custom_target(tv_media DEPENDS ${TV_MEDIA_DIR}/tv_media.rc)
set_source_files_properties(res/media.rc PROPERTIES OBJECT_DEPENDS ${TV_MEDIA_DIR}/tv_media.rc)

# ------------------------------------------------------------------- tolvexa.exe ----
if(TV_WIN32_SOURCES AND TV_FRONT_SOURCES)
  file(GLOB TV_MAIN_WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/main/win_*.cpp)
  add_executable(tolvexa WIN32 ${TV_MAIN_WIN_SOURCES} ${TV_FRONT_SOURCES} res/tolvexa.rc res/media.rc)
  target_link_libraries(tolvexa PRIVATE tolvexa_core tolvexa_sim tolvexa_win32 tolvexa_win32ui)
  target_include_directories(tolvexa PRIVATE ${CMAKE_SOURCE_DIR}/res ${CMAKE_BINARY_DIR}/generated)
  add_dependencies(tolvexa tv_media)
  set_source_files_properties(res/tolvexa.rc PROPERTIES
    OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/res/tolvexa.manifest;${CMAKE_SOURCE_DIR}/res/tolvexa.ico;${CMAKE_BINARY_DIR}/generated/tv_version.h")
else()
  message(STATUS "real backend or front end not there yet: no tolvexa.exe")
endif()

# ------------------------------------------------------------ helper programs ----
# tests/helpers/<name>.cpp -> <name>.exe, tests/helpers/dll_<name>.cpp -> <name>.dll, each with
# tests/helpers/<same stem>.rc compiled in when present. They land next to tolvexa_tests.exe.
file(GLOB TV_HELPER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/helpers/*.cpp)
set(TV_HELPER_TARGETS)
foreach(src ${TV_HELPER_SOURCES})
  get_filename_component(stem ${src} NAME_WE)
  set(sources ${src})
  if(EXISTS ${CMAKE_SOURCE_DIR}/tests/helpers/${stem}.rc)
    list(APPEND sources ${CMAKE_SOURCE_DIR}/tests/helpers/${stem}.rc)
  endif()
  if(stem MATCHES "^dll_(.+)$")
    set(name ${CMAKE_MATCH_1})
    set(target helper_dll_${name})
    add_library(${target} SHARED ${sources})
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${name})
  else()
    set(name ${stem})
    set(target helper_${name})
    add_executable(${target} ${sources})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name})
  endif()
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/helpers ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(${target} PRIVATE ${TV_WIN_SYSTEM_LIBS})
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/helper_lib)
  list(APPEND TV_HELPER_TARGETS ${target})
endforeach()

# The program and the helper programs without the test program: what the 32-bit build, which
# no Wine here can run, builds in scripts/test.
add_custom_target(tv_programs)
if(TARGET tolvexa)
  add_dependencies(tv_programs tolvexa)
endif()
if(TV_HELPER_TARGETS)
  add_dependencies(tv_programs ${TV_HELPER_TARGETS})
endif()

# ------------------------------------------------------------ tolvexa_tests.exe ----
file(GLOB TV_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*.cpp
     ${CMAKE_SOURCE_DIR}/tests/common/*.cpp ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
if(TV_WIN_TESTS)
  add_executable(tolvexa_tests ${TV_WIN_TESTS} ${TV_FRONT_SOURCES} res/media.rc)
  target_include_directories(tolvexa_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(tolvexa_tests PRIVATE tolvexa_core tolvexa_sim tolvexa_win32 tolvexa_win32ui gtest gtest_main)
  add_dependencies(tolvexa_tests tv_media)
  target_compile_definitions(tolvexa_tests PRIVATE TV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  set_target_properties(tolvexa_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  if(TV_HELPER_TARGETS)
    add_dependencies(tolvexa_tests ${TV_HELPER_TARGETS})
  endif()
endif()

# ------------------------------------------------------------ signed test program ----
# The scan tests need a program with a valid Authenticode signature: a copy of sleeper.exe
# signed with a throw-away certificate that the build makes (nothing of it is kept in the
# sources). The tests make the tampered copy themselves.
find_program(TV_OPENSSL openssl)
find_program(TV_OSSLSIGNCODE osslsigncode)
if(TV_OPENSSL AND TV_OSSLSIGNCODE AND TARGET helper_sleeper AND TARGET tolvexa_tests)
  set(_tv_signing ${CMAKE_BINARY_DIR}/signing)
  set(_tv_signed ${CMAKE_BINARY_DIR}/signed_sleeper.exe)
  add_custom_command(
    OUTPUT ${_tv_signed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_tv_signing}
    COMMAND ${TV_OPENSSL} req -x509 -newkey rsa:2048 -nodes -days 7 -subj "/CN=Tolvexa test signer"
            -keyout ${_tv_signing}/key.pem -out ${_tv_signing}/cert.pem 2> ${_tv_signing}/openssl.log
    COMMAND ${CMAKE_COMMAND} -E rm -f ${_tv_signed}
    COMMAND ${TV_OSSLSIGNCODE} sign -certs ${_tv_signing}/cert.pem -key ${_tv_signing}/key.pem
            -in $<TARGET_FILE:helper_sleeper> -out ${_tv_signed} > ${_tv_signing}/osslsigncode.log
    DEPENDS helper_sleeper
    COMMENT "Signing a copy of sleeper.exe with a throw-away certificate"
    VERBATIM)
  add_custom_target(tv_signed_sleeper DEPENDS ${_tv_signed})
  add_dependencies(tolvexa_tests tv_signed_sleeper)
endif()
# The scan tests run tolvexa.exe itself.
if(TARGET tolvexa AND TARGET tolvexa_tests)
  add_dependencies(tolvexa_tests tolvexa)
endif()
