# The clipboard is one per display: tests that use it take turns.
set_tests_properties(toolkit_browse_pane_test PROPERTIES RESOURCE_LOCK clipboard)
