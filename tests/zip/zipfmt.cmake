# Peer checks of the zip format layer: its tool against Info-ZIP, 7z and Python's zipfile.
add_test(NAME zip_zipfmt_peer_read
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/zipfmt_peer_read.sh $<TARGET_FILE:zipfmt_tool> ${PROJECT_SOURCE_DIR})
add_test(NAME zip_zipfmt_peer_write
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/zipfmt_peer_write.sh $<TARGET_FILE:zipfmt_tool> ${PROJECT_SOURCE_DIR})
set_tests_properties(zip_zipfmt_peer_read zip_zipfmt_peer_write PROPERTIES TIMEOUT 300 LABELS zip)
