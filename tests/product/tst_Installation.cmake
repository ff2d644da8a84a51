# Installs the build tree into a temporary prefix with cmake --install and
# builds the .deb with cpack; lintian takes a while on a busy machine.
add_dependencies(tst_Installation UpdateAssist help_pdfs packaging_docs)
target_compile_definitions(tst_Installation PRIVATE UA_CMAKE_COMMAND="${CMAKE_COMMAND}")
set_tests_properties(tst_Installation PROPERTIES LABELS product TIMEOUT 1200)
set_property(TEST tst_Installation APPEND PROPERTY ENVIRONMENT "QTEST_FUNCTION_TIMEOUT=1100000")
if(UA_SANITIZE)
    target_compile_definitions(tst_Installation PRIVATE UA_INSTRUMENTED_BUILD)
endif()
