# PPMd streams against 7-Zip and Python's ppmd module.
add_test(NAME zip_ppmd_peers COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/ppmd_peers.sh $<TARGET_FILE:ppmd_tool>)
set_tests_properties(zip_ppmd_peers PROPERTIES TIMEOUT 600)
