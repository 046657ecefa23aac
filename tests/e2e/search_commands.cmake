# The clipboard is one per display, and the program keeps its settings under one registry key
# that these tests clear: tests that use either take turns.
set_tests_properties(e2e_search_commands_test PROPERTIES RESOURCE_LOCK "clipboard;vellmorant_app_key")
set_tests_properties(e2e_pictures_test PROPERTIES RESOURCE_LOCK vellmorant_app_key)
