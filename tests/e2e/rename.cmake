# The rename tests start the program on its registry key, which they clear: they take turns with
# every other test that does.
set_tests_properties(e2e_rename_test PROPERTIES RESOURCE_LOCK vellmorant_app_key)
