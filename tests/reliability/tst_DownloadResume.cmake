target_sources(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/reliability/DownloadHarness.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/reliability/DownloadHarness.h)
target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/reliability)
# The stand-in server and its child processes must be built first (the Windows build has
# none: there the tests run the Linux build's, see support/win/HostProgram.cpp).
if(TARGET update-server)
    add_dependencies(${name} update-server)
endif()
