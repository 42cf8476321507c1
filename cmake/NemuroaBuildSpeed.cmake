# Build speed: sources compiled in batches (a unity build), and a faster linker where one is
# installed. For a build that is edited and rebuilt again and again, -DNEMUROA_UNITY_BUILD=OFF
# compiles each source alone, and then precompiled Qt, standard library and GoogleTest headers take
# the batches' place: a batch reads the headers once for all its sources, and a precompiled header
# no longer pays for itself over the few compilations that remain.
#
# Nothing to do for a new target: nemuroa_precompile_headers(), called once at the end of the top
# CMakeLists.txt, walks every target of the project and gives each the header set its libraries
# allow (GoogleTest suites, QtTest suites, widgets, Qt Core). Targets anywhere in the project that
# compile alike share one precompiled header; see nemuroa_sharing_key. Should a header still be
# refused (-Winvalid-pch, an error under -Werror), give the target NEMUROA_OWN_PRECOMPILED_HEADER ON
# (set_target_properties) and it shares with none.

option(NEMUROA_UNITY_BUILD "Compile the sources of a target in batches, each one compilation" ON)
if(NEMUROA_UNITY_BUILD)
  set(NEMUROA_PRECOMPILED_HEADERS_BY_DEFAULT OFF)
else()
  set(NEMUROA_PRECOMPILED_HEADERS_BY_DEFAULT ON)
endif()
option(NEMUROA_PRECOMPILED_HEADERS "Precompile the Qt, standard and GoogleTest headers"
  ${NEMUROA_PRECOMPILED_HEADERS_BY_DEFAULT})
option(NEMUROA_FAST_LINKER "Link with lld when it is installed" ON)

# The sources of a target keep their unnamed namespaces apart in a batch by giving each helper a
# name of its own.
set(CMAKE_UNITY_BUILD ${NEMUROA_UNITY_BUILD})
set(CMAKE_UNITY_BUILD_BATCH_SIZE 8)
# GCC takes a source included into a batch for a header, and warns when a class of it holds a type
# of the source's unnamed namespace, as a header's class must not.
if(NEMUROA_UNITY_BUILD)
  add_compile_options(-Wno-subobject-linkage)
endif()

include(CheckLinkerFlag)
if(NEMUROA_FAST_LINKER)
  check_linker_flag(CXX -fuse-ld=lld NEMUROA_HAVE_LLD)
  if(NEMUROA_HAVE_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()

# ccache caches a source compiled against a precompiled header only when told that the header's
# macros and time stamps need no checking of its own (CMake rebuilds the header when they change).
if(NEMUROA_PRECOMPILED_HEADERS AND CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
  set(CMAKE_CXX_COMPILER_LAUNCHER env CCACHE_SLOPPINESS=pch_defines,time_macros ${CMAKE_CXX_COMPILER_LAUNCHER})
endif()

set(NEMUROA_PCH_CORE
  <algorithm> <array> <functional> <memory> <optional> <string> <string_view> <utility> <vector>
  <QByteArray> <QDir> <QFile> <QFileInfo> <QList> <QObject> <QString> <QStringList>)
set(NEMUROA_PCH_WIDGETS ${NEMUROA_PCH_CORE}
  <QAction> <QApplication> <QCheckBox> <QFrame> <QLabel> <QLineEdit> <QListWidget> <QMenu>
  <QPlainTextEdit> <QPushButton> <QTextEdit> <QWidget>)
set(NEMUROA_PCH_QTEST ${NEMUROA_PCH_WIDGETS} <QSignalSpy> <QTest>)
set(NEMUROA_PCH_GTEST ${NEMUROA_PCH_CORE} <gtest/gtest.h>)

# Every target of the project that compiles sources, in every folder.
function(nemuroa_compiled_targets result)
  set(found "")
  set(folders ${CMAKE_SOURCE_DIR})
  while(folders)
    list(POP_FRONT folders folder)
    get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|SHARED_LIBRARY)$")
        list(APPEND found ${target})
      endif()
    endforeach()
    get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
    list(APPEND folders ${subfolders})
  endwhile()
  set(${result} ${found} PARENT_SCOPE)
endfunction()

# Whether the target links the library, directly or through the project's own libraries.
function(nemuroa_links_to target library result)
  set(found OFF)
  set(seen "")
  set(pending ${target})
  while(pending AND NOT found)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    get_target_property(imported ${current} IMPORTED)
    if(imported)
      continue()
    endif()
    get_target_property(linked ${current} LINK_LIBRARIES)
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    foreach(item IN LISTS linked interface)
      if(item STREQUAL library)
        set(found ON)
      elseif(TARGET ${item})
        list(APPEND pending ${item})
      endif()
    endforeach()
  endwhile()
  set(${result} ${found} PARENT_SCOPE)
endfunction()

function(nemuroa_header_set target result)
  nemuroa_links_to(${target} GTest::gtest_main gtest)
  nemuroa_links_to(${target} Qt6::Test qtest)
  nemuroa_links_to(${target} Qt6::Widgets widgets)
  nemuroa_links_to(${target} Qt6::Core core)
  if(gtest AND core)
    set(${result} GTEST PARENT_SCOPE)
  elseif(qtest AND widgets)
    set(${result} QTEST PARENT_SCOPE)
  elseif(widgets)
    set(${result} WIDGETS PARENT_SCOPE)
  elseif(core)
    set(${result} CORE PARENT_SCOPE)
  else()
    set(${result} "" PARENT_SCOPE)
  endif()
endfunction()

# A precompiled header pays for itself once it replaces the headers of a few sources: a header
# shared by fewer sources than this is not precompiled at all.
set(NEMUROA_PCH_MINIMUM_SOURCES 3)

function(nemuroa_source_count target result)
  get_target_property(sources ${target} SOURCES)
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  list(LENGTH sources count)
  set(${result} ${count} PARENT_SCOPE)
endfunction()

# The imported libraries whose usage requirements reach the target's compilation: its own, and
# those its libraries pass on (not their private ones, which stay behind $<LINK_ONLY:>).
function(nemuroa_imported_libraries target result)
  set(found "")
  set(seen "")
  get_target_property(pending ${target} LINK_LIBRARIES)
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    get_target_property(imported ${current} IMPORTED)
    if(imported)
      list(APPEND found ${current})
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND pending ${interface})
    endif()
  endwhile()
  list(SORT found)
  set(${result} ${found} PARENT_SCOPE)
endfunction()

# Targets share a precompiled header when it compiles alike for them: the same header set, the same
# imported libraries reaching them (whose usage requirements bring the macros the headers test,
# QT_WIDGETS_LIB say) and the same definitions and options of their own. The project's own
# NEMUROA_ definitions (paths of test data) are left out: no precompiled header mentions them, and
# GCC accepts a header built without a macro its headers never test.
function(nemuroa_definitions target result)
  get_target_property(definitions ${target} COMPILE_DEFINITIONS)
  if(definitions)
    list(FILTER definitions EXCLUDE REGEX "^NEMUROA_")
  else()
    set(definitions "")
  endif()
  set(${result} "${definitions}" PARENT_SCOPE)
endfunction()

function(nemuroa_sharing_key target set result)
  get_target_property(own ${target} NEMUROA_OWN_PRECOMPILED_HEADER)
  get_target_property(options ${target} COMPILE_OPTIONS)
  get_target_property(type ${target} TYPE)
  nemuroa_imported_libraries(${target} imported)
  nemuroa_definitions(${target} definitions)
  set(key "${set}|${imported}|${definitions}|${options}")
  # QtTest defines its test's source and build folders, so its suites share only within a folder.
  if("Qt6::Test" IN_LIST imported)
    get_target_property(folder ${target} SOURCE_DIR)
    string(APPEND key "|${folder}")
  endif()
  if(type STREQUAL "MODULE_LIBRARY")
    string(APPEND key "|module")
  endif()
  if(own)
    string(APPEND key "|${target}")
  endif()
  string(MD5 key "${key}")
  set(${result} ${key} PARENT_SCOPE)
endfunction()

# Each shared header is compiled by a donor of its own, an object library of one empty source with
# the imported libraries, definitions and options of the first target: a target that takes a header
# from another waits for that whole target, and an empty donor is ready at once. QtTest suites,
# whose header depends on their folder, take it from the first suite of their folder.
function(nemuroa_precompile_headers)
  if(NOT NEMUROA_PRECOMPILED_HEADERS)
    return()
  endif()
  # The targets under their sharing keys: per key its header set, its targets and their sources.
  set(keys "")
  nemuroa_compiled_targets(targets)
  foreach(target IN LISTS targets)
    nemuroa_header_set(${target} set)
    if(NOT set)
      continue()
    endif()
    nemuroa_sharing_key(${target} ${set} key)
    nemuroa_source_count(${target} count)
    if(NOT key IN_LIST keys)
      list(APPEND keys ${key})
      set(set_${key} ${set})
      set(targets_${key} "")
      set(sources_${key} 0)
    endif()
    list(APPEND targets_${key} ${target})
    math(EXPR sources_${key} "${sources_${key}} + ${count}")
  endforeach()
  set(empty "${CMAKE_BINARY_DIR}/nemuroa_precompiled_header_donor.cpp")
  file(WRITE "${empty}" "")
  set(number 0)
  foreach(key IN LISTS keys)
    if(sources_${key} LESS NEMUROA_PCH_MINIMUM_SOURCES)
      continue()
    endif()
    set(headers ${NEMUROA_PCH_${set_${key}}})
    list(GET targets_${key} 0 model)
    nemuroa_imported_libraries(${model} libraries)
    if("Qt6::Test" IN_LIST libraries)
      list(POP_FRONT targets_${key} donor)
      target_precompile_headers(${donor} PRIVATE ${headers})
    else()
      math(EXPR number "${number} + 1")
      set(donor nemuroa_precompiled_${number})
      add_library(${donor} OBJECT "${empty}")
      get_target_property(options ${model} COMPILE_OPTIONS)
      get_target_property(type ${model} TYPE)
      nemuroa_definitions(${model} definitions)
      target_link_libraries(${donor} PRIVATE ${libraries})
      set_target_properties(${donor} PROPERTIES COMPILE_DEFINITIONS "${definitions}" COMPILE_OPTIONS "${options}"
        AUTOMOC OFF AUTORCC OFF EXCLUDE_FROM_ALL ON)
      if(type STREQUAL "MODULE_LIBRARY")
        set_target_properties(${donor} PROPERTIES POSITION_INDEPENDENT_CODE ON)
      endif()
      target_precompile_headers(${donor} PRIVATE ${headers})
    endif()
    foreach(target IN LISTS targets_${key})
      target_precompile_headers(${target} REUSE_FROM ${donor})
    endforeach()
  endforeach()
endfunction()

# AUTOMOC runs for every target unless told otherwise: a generation step that asks the compiler for
# its predefined macros, scans every source and compiles an empty mocs_compilation.cpp, about a
# second per target. Only targets with a source or same-named header that declares a Qt object,
# or includes its own .moc, keep it; AUTORCC only where a .qrc is listed.
function(nemuroa_needs_moc target result)
  get_target_property(sources ${target} SOURCES)
  get_target_property(folder ${target} SOURCE_DIR)
  foreach(source IN LISTS sources)
    if(NOT source MATCHES "\\.(cpp|h)$")
      continue()
    endif()
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${folder} OUTPUT_VARIABLE path)
    cmake_path(REPLACE_EXTENSION path LAST_ONLY ".h" OUTPUT_VARIABLE header)
    foreach(file IN ITEMS ${path} ${header})
      if(EXISTS ${file})
        file(STRINGS ${file} declarations REGEX "Q_OBJECT|Q_GADGET|Q_NAMESPACE|[.]moc\"")
        if(declarations)
          set(${result} ON PARENT_SCOPE)
          return()
        endif()
      endif()
    endforeach()
  endforeach()
  set(${result} OFF PARENT_SCOPE)
endfunction()

function(nemuroa_generate_only_where_needed)
  nemuroa_compiled_targets(targets)
  foreach(target IN LISTS targets)
    get_target_property(moc ${target} AUTOMOC)
    if(moc)
      nemuroa_needs_moc(${target} needed)
      set_target_properties(${target} PROPERTIES AUTOMOC ${needed})
    endif()
    get_target_property(sources ${target} SOURCES)
    list(FILTER sources INCLUDE REGEX "\\.qrc$")
    if(NOT sources)
      set_target_properties(${target} PROPERTIES AUTORCC OFF)
    endif()
  endforeach()
endfunction()
