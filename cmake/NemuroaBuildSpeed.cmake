# Build speed: precompiled Qt, standard library and GoogleTest headers, compiled once per folder and
# shared by the folder's targets that use the same ones, and a faster linker where one is installed.
#
# Nothing to do for a new target: nemuroa_precompile_headers(), called once at the end of the top
# CMakeLists.txt, walks every target of the project and gives each the header set its libraries
# allow (GoogleTest suites, QtTest suites, widgets, Qt Core). Targets of a folder that compile
# alike share one precompiled header, compiled by the first of them; see nemuroa_sharing_key. Should
# a header still be refused (-Winvalid-pch, an error under -Werror), give the target
# NEMUROA_OWN_PRECOMPILED_HEADER ON (set_target_properties) and it shares with none.

option(NEMUROA_PRECOMPILED_HEADERS "Precompile the Qt, standard and GoogleTest headers" ON)
option(NEMUROA_FAST_LINKER "Link with lld when it is installed" ON)

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

# Targets of one folder share a precompiled header when they compile with the same macros and
# options: the same header set, the same libraries linked directly (whose usage requirements bring
# the macros, QT_NETWORK_LIB say), the same definitions and options of their own. GCC refuses a
# header built with a macro the source lacks.
function(nemuroa_sharing_key target set result)
  get_target_property(own ${target} NEMUROA_OWN_PRECOMPILED_HEADER)
  get_target_property(linked ${target} LINK_LIBRARIES)
  get_target_property(definitions ${target} COMPILE_DEFINITIONS)
  get_target_property(options ${target} COMPILE_OPTIONS)
  list(SORT linked)
  set(key "${set}|${linked}|${definitions}|${options}")
  if(own)
    string(APPEND key "|${target}")
  endif()
  string(MD5 key "${key}")
  set(${result} ${key} PARENT_SCOPE)
endfunction()

function(nemuroa_precompile_folder folder)
  set(keys "")
  get_property(targets DIRECTORY ${folder} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|MODULE_LIBRARY)$")
      continue()
    endif()
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

  foreach(key IN LISTS keys)
    if(sources_${key} GREATER_EQUAL NEMUROA_PCH_MINIMUM_SOURCES)
      list(POP_FRONT targets_${key} donor)
      target_precompile_headers(${donor} PRIVATE ${NEMUROA_PCH_${set_${key}}})
      foreach(target IN LISTS targets_${key})
        target_precompile_headers(${target} REUSE_FROM ${donor})
      endforeach()
    endif()
  endforeach()

  get_property(subfolders DIRECTORY ${folder} PROPERTY SUBDIRECTORIES)
  foreach(subfolder IN LISTS subfolders)
    nemuroa_precompile_folder(${subfolder})
  endforeach()
endfunction()

function(nemuroa_precompile_headers)
  if(NEMUROA_PRECOMPILED_HEADERS)
    nemuroa_precompile_folder(${CMAKE_SOURCE_DIR})
  endif()
endfunction()
