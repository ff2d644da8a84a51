# Runs cmake/CheckCoreLayer.cmake on small source trees, one include each, and
# compares its verdict with the expected one.
#   cmake -DCHECK=<CheckCoreLayer.cmake> -DWIDGETS_DIR=<.../QtWidgets> -DWORK=<dir> -P CoreLayerCases.cmake

cmake_minimum_required(VERSION 3.16)

# file | included header | expected verdict
set(cases
    "base/A.cpp|QString|pass"
    "base/A.cpp|platform/B.h|pass"
    "report/A.cpp|QPainter|pass"
    "report/A.cpp|QtPrintSupport/QPrinter|pass"
    "report/A.cpp|QPrinterInfo|pass"
    "update/A.cpp|device/B.h|pass"
    "update/A.cpp|update/B.h|pass"
    "platform/linux/A.cpp|platform/B.h|pass"
    "gui/update/A.cpp|QWidget|pass"
    "gui/update/A.cpp|ui_A.h|pass"
    "main.cpp|QApplication|pass"
    "update/A.cpp|QWidget|fail"
    "update/A.h|QtWidgets/QMessageBox|fail"
    "net/A.cpp|qfiledialog.h|fail"
    "report/A.cpp|QPrintPreviewDialog|fail"
    "report/A.cpp|QtPrintSupport/QPrintDialog|fail"
    "dataviewer/A.cpp|ui_A.h|fail"
    "device/A.cpp|gui/widgets/MessageBox.h|fail"
    "base/A.cpp|app/B.h|fail"
    "platform/linux/A.cpp|base/B.h|fail"
    "platform/win/A.cpp|net/B.h|fail"
    "device/A.cpp|update/B.h|fail"
    "net/A.cpp|accounts/B.h|fail"
    "report/A.cpp|dataviewer/B.h|fail"
    "extra/A.cpp|QString|fail")

set(failures)
set(nCase 0)
foreach(entry ${cases})
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 file)
    list(GET fields 1 header)
    list(GET fields 2 expected)
    math(EXPR nCase "${nCase} + 1")
    set(tree ${WORK}/case${nCase})
    file(REMOVE_RECURSE ${tree})
    file(WRITE ${tree}/${file} "#include <QtGlobal>\n#include \"${header}\"\n")
    execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} -DWIDGETS_DIR=${WIDGETS_DIR}
                            -P ${CHECK}
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    if(result EQUAL 0)
        set(verdict pass)
    else()
        set(verdict fail)
    endif()
    if(NOT verdict STREQUAL expected)
        list(APPEND failures "${file} including ${header}: ${verdict}, expected ${expected}")
    endif()
endforeach()
if(failures)
    list(JOIN failures "\n  " text)
    message(FATAL_ERROR "core_layer check:\n  ${text}")
endif()
message(STATUS "core_layer check: ${nCase} cases as expected")
