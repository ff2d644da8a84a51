# The fuzz targets themselves replay the regression inputs.
file(GLOB UA_FUZZ_TARGET_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/targets/*.cpp)
target_sources(${name} PRIVATE ${UA_FUZZ_TARGET_SOURCES} ${CMAKE_SOURCE_DIR}/fuzz/FuzzSupport.cpp
    ${CMAKE_SOURCE_DIR}/fuzz/FuzzTargets.cpp)
target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/fuzz)
