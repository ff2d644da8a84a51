# Fails when a source of the core library includes a window-side header: a Qt
# Widgets header, a print or preview dialog of Qt PrintSupport (QPrinter and
# QPrinterInfo are what rendering needs), a form (ui_*.h) or a header of
# src/gui; or a header of a core folder its own folder may not use (the table
# of docs/ARCHITECTURE.md). Run by the build (target core_layer):
#   cmake -DSOURCE_DIR=<src> -DWIDGETS_DIR=<.../QtWidgets> -DSTAMP=<file> -P CheckCoreLayer.cmake
# The core's folders are those of src/ but gui/.

cmake_minimum_required(VERSION 3.16)

file(GLOB widget_headers RELATIVE ${WIDGETS_DIR} ${WIDGETS_DIR}/*)
if(NOT widget_headers)
    message(FATAL_ERROR "core_layer: no Qt Widgets headers in '${WIDGETS_DIR}'")
endif()
set(dialog_headers QAbstractPrintDialog QPageSetupDialog QPrintDialog QPrintPreviewDialog
    QPrintPreviewWidget qabstractprintdialog.h qpagesetupdialog.h qprintdialog.h
    qprintpreviewdialog.h qprintpreviewwidget.h QtPrintSupport)

# The core folders each folder may use besides its own.
set(uses_platform)
set(uses_base platform)
set(uses_app base platform)
set(uses_net base platform app)
set(uses_device base platform app)
set(uses_accounts base platform app net)
set(uses_update base platform app net device)
set(uses_dataviewer base platform app device)
set(uses_report base platform app)
set(core_folders platform base app net device accounts update dataviewer report)

file(GLOB_RECURSE sources ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h)
set(violations)
foreach(source ${sources})
    file(RELATIVE_PATH relative ${SOURCE_DIR} ${source})
    if(relative MATCHES "^gui/" OR relative STREQUAL "main.cpp")
        continue()
    endif()
    string(REGEX REPLACE "/.*$" "" folder "${relative}")
    if(NOT folder IN_LIST core_folders)
        list(APPEND violations "${relative}: ${folder}/ has no place among the core's layers")
        continue()
    endif()
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    foreach(line ${includes})
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*$" "\\1" header "${line}")
        get_filename_component(name ${header} NAME)
        if(header MATCHES "^(QtWidgets|QtPrintSupport)/" AND NOT header MATCHES "^QtPrintSupport/(QPrinter|QPrinterInfo|qprinter\\.h|qprinterinfo\\.h)$")
            list(APPEND violations "${relative}: ${header}")
        elseif(header STREQUAL name AND (name IN_LIST widget_headers OR name IN_LIST dialog_headers))
            list(APPEND violations "${relative}: ${header}")
        elseif(name MATCHES "^ui_" OR header MATCHES "^gui/")
            list(APPEND violations "${relative}: ${header}")
        elseif(header MATCHES "^([a-z]+)/")
            set(used ${CMAKE_MATCH_1})
            if(used IN_LIST core_folders AND NOT used STREQUAL folder
               AND NOT used IN_LIST uses_${folder})
                list(APPEND violations "${relative}: ${header} (${folder}/ may not use ${used}/)")
            endif()
        endif()
    endforeach()
endforeach()
if(violations)
    list(JOIN violations "\n  " text)
    message(FATAL_ERROR "core_layer: the core library includes window-side headers "
                        "(windows, pages, dialogs and delegates belong to src/gui) or "
                        "crosses its layers (docs/ARCHITECTURE.md):\n  ${text}")
endif()
if(STAMP)
    file(WRITE ${STAMP} "")
endif()
