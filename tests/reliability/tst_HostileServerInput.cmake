target_sources(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/reliability/DownloadHarness.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/reliability/DownloadHarness.h
    ${CMAKE_CURRENT_SOURCE_DIR}/reliability/RawReplyServer.h)
target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/reliability)
