# The handle-reuse cases cycle a slot of the window-handle table that every program under the
# same Wine server shares: they run while no other test does.
set_tests_properties(framework_handlemap_test PROPERTIES RUN_SERIAL TRUE)
