target_sources(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/reliability/DownloadHarness.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/reliability/DownloadHarness.h)
target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/reliability)
