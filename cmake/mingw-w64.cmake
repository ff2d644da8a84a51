# Cross-building the Windows program on Debian with MinGW-w64 (POSIX threads:
# the thread pool needs std::thread) against a Qt/libcurl/mbedTLS prefix made by
# scripts/windows/build-qt. The prefix is UA_QT_MINGW (a cache variable or the
# environment), else ~/.cache/updateassist/qt5-mingw.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT UA_QT_MINGW)
    if(DEFINED ENV{UA_QT_MINGW})
        set(UA_QT_MINGW "$ENV{UA_QT_MINGW}")
    else()
        set(UA_QT_MINGW "$ENV{HOME}/.cache/updateassist/qt5-mingw")
    endif()
endif()
set(UA_QT_MINGW "${UA_QT_MINGW}" CACHE PATH "Qt, libcurl and mbedTLS built for Windows")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES UA_QT_MINGW)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${UA_QT_MINGW}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# lrelease runs on the build machine: Debian's own.
set(Qt5LinguistTools_DIR /usr/lib/x86_64-linux-gnu/cmake/Qt5LinguistTools CACHE PATH "")

# The tests run under Wine (ctest in the build folder; scripts/windows/test).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows/wine-run)
