# The file list's fill of 20,000 files, made on the Linux side by the script.
add_test(NAME controls_filelist_large
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/filelist_large.sh $<TARGET_FILE:controls_filelist_test>)
set_tests_properties(controls_filelist_large PROPERTIES TIMEOUT 300 LABELS "controls;gui")
# The clipboard is one per display: tests that use it take turns.
set_tests_properties(controls_filelist_test PROPERTIES RESOURCE_LOCK clipboard)
# Its focus checks need the display to itself: a window that another test shows takes the
# activation away.
set_tests_properties(controls_filelist_test PROPERTIES RUN_SERIAL TRUE)
