# Starts the program on its registry key, which it clears: takes turns with the other tests that do.
set_tests_properties(e2e_search_skipped_test PROPERTIES RESOURCE_LOCK vellmorant_app_key)
