# The clipboard is one per display: tests that use it take turns.
set_tests_properties(e2e_search_commands_test PROPERTIES RESOURCE_LOCK clipboard)
