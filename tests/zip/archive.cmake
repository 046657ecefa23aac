# The archive's tests: a resource archive inside the read test, and peer checks of archives that
# archive_tool writes and reads against Info-ZIP, 7z and Python's zipfile.
target_sources(zip_archive_read_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/archive_res.rc)
add_test(NAME zip_archive_peers
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/archive_peers.sh $<TARGET_FILE:archive_tool> ${PROJECT_SOURCE_DIR})
set_tests_properties(zip_archive_peers PROPERTIES TIMEOUT 600 LABELS zip)
add_test(NAME zip_crypto_peers
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/crypto_peers.sh $<TARGET_FILE:archive_tool> ${PROJECT_SOURCE_DIR})
set_tests_properties(zip_crypto_peers PROPERTIES TIMEOUT 300 LABELS zip)
# Slow (about two minutes, 6 GB of disk for a moment): 5 GiB entries, an archive over 4 GiB,
# 70,000 entries and a delete that moves 300 MB. Label "slow" to leave it out: ctest -LE slow.
add_test(NAME zip_archive_zip64_slow
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/archive_zip64.sh $<TARGET_FILE:archive_tool> ${PROJECT_SOURCE_DIR})
set_tests_properties(zip_archive_zip64_slow PROPERTIES TIMEOUT 900 LABELS "zip;slow")
