# Build helpers shared by every folder.

# vm_library(name SOURCES... [DEPS targets...]): one static library per folder.
function(vm_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(A_DEPS)
    target_link_libraries(${name} PUBLIC ${A_DEPS})
  endif()
endfunction()

# vm_test(name SOURCES... [DEPS targets...] [LABELS labels...] [TIMEOUT s] [GUI]):
# a GoogleTest console executable run under Wine as one CTest test.
function(vm_test name)
  cmake_parse_arguments(A "GUI;NOMAIN" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  if(A_NOMAIN)
    target_link_libraries(${name} PRIVATE ${A_DEPS} gtest)
  else()
    target_link_libraries(${name} PRIVATE ${A_DEPS} gtest gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  if("unprivileged" IN_LIST A_LABELS)
    # Read-only refusals need a user that Wine does not run as root.
    add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-run-unpriv.sh
             $<TARGET_FILE:${name}> --gtest_color=no)
  else()
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 600)
  endif()
  set(labels ${A_LABELS})
  if(A_GUI)
    list(APPEND labels gui)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${A_TIMEOUT}
    ENVIRONMENT "VM_SOURCE_DIR=${PROJECT_SOURCE_DIR};VM_BINARY_DIR=${PROJECT_BINARY_DIR}")
  if(labels)
    set_tests_properties(${name} PROPERTIES LABELS "${labels}")
  endif()
endfunction()

# Third-party compression libraries.
add_library(vm_zlib STATIC IMPORTED GLOBAL)
set_target_properties(vm_zlib PROPERTIES IMPORTED_LOCATION ${VM_DEPS_DIR}/lib/libz.a
  INTERFACE_INCLUDE_DIRECTORIES ${VM_DEPS_DIR}/include/zlib)
add_library(vm_bz2 STATIC IMPORTED GLOBAL)
set_target_properties(vm_bz2 PROPERTIES IMPORTED_LOCATION ${VM_DEPS_DIR}/lib/libbz2.a
  INTERFACE_INCLUDE_DIRECTORIES ${VM_DEPS_DIR}/include/bzip2)
add_library(vm_lzmasdk STATIC IMPORTED GLOBAL)
set_target_properties(vm_lzmasdk PROPERTIES IMPORTED_LOCATION ${VM_DEPS_DIR}/lib/liblzmasdk.a
  INTERFACE_INCLUDE_DIRECTORIES ${VM_DEPS_DIR}/include/lzma)

# Windows libraries the program's layers call.
set(VM_WIN32_LIBS user32 gdi32 comctl32 comdlg32 shell32 shlwapi ole32 oleaut32 uuid advapi32
    msimg32 netapi32 mpr uxtheme bcrypt)

# vm_folder_library(name [DEPS targets...]): the folder's library from every .cpp/.c in it.
# A folder without sources yet gives an interface library with the same dependencies.
function(vm_folder_library name)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${A_DEPS} ${VM_WIN32_LIBS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${A_DEPS} ${VM_WIN32_LIBS})
  endif()
endfunction()

# vm_folder_tests(DEPS targets...): in a tests/<folder> directory,
#  - every *_test.cpp becomes one GoogleTest executable and one CTest test
#    (a name ending in _unpriv_test runs as an unprivileged user, see wine-run-unpriv.sh),
#  - every support/*.cpp is compiled into each of them (shared fixtures and helpers),
#  - every tools/*.cpp becomes a console program of its own (stand-in children and the like),
#    built next to the tests so that a test finds it beside its own executable,
#  - every *.cmake is included afterwards (script tests against Linux peers and the like).
function(vm_folder_tests)
  cmake_parse_arguments(A "" "" "DEPS" ${ARGN})
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  file(GLOB support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
  file(GLOB tools CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tools/*.cpp)
  foreach(tool ${tools})
    get_filename_component(tname ${tool} NAME_WE)
    add_executable(${tname} ${tool})
    target_link_libraries(${tname} PRIVATE ${A_DEPS})
    target_include_directories(${tname} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
    list(APPEND tool_targets ${tname})
  endforeach()
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(t ${tests})
    get_filename_component(tname ${t} NAME_WE)
    set(labels ${folder})
    if(tname MATCHES "_unpriv_test$")
      list(APPEND labels unprivileged)
    endif()
    vm_test(${folder}_${tname} SOURCES ${t} ${support} DEPS ${A_DEPS} LABELS ${labels})
    set_target_properties(${folder}_${tname} PROPERTIES OUTPUT_NAME ${tname})
    if(tool_targets)
      add_dependencies(${folder}_${tname} ${tool_targets})
    endif()
  endforeach()
  file(GLOB extras CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cmake)
  foreach(extra ${extras})
    include(${extra})
  endforeach()
endfunction()
