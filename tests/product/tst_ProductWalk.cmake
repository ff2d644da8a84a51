# The walk runs the real program in the demo world of scripts/run-demo.
add_dependencies(tst_ProductWalk UpdateAssist update-server device-sim record-gen demo-files)
set_tests_properties(tst_ProductWalk PROPERTIES TIMEOUT 600 LABELS product)
