# The sibling tests start the program on its registry key and read the clipboard: they take
# turns with every other test that does.
set_tests_properties(e2e_sibling_programs_test PROPERTIES RESOURCE_LOCK "clipboard;vellmorant_app_key")
