# The test runs the sample generator.
add_dependencies(tst_RecordGen record-gen)
