# Deflate64 streams of 7-Zip decoded by our decoder (Linux peer: 7z, python).
add_test(NAME zip_deflate64_7z COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/deflate64_7z.sh $<TARGET_FILE:deflate64_tool>)
set_tests_properties(zip_deflate64_7z PROPERTIES TIMEOUT 300)
