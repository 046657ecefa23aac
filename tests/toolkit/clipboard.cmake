# The clipboard is one per display: the tests that copy to it or paste from it take turns.
set_tests_properties(toolkit_browse_pane_test toolkit_colorlist_test toolkit_helpers_test toolkit_pathcombo_test
                     PROPERTIES RESOURCE_LOCK clipboard)
