# Interop of the library codecs with Linux peers (Python, 7z, Info-ZIP, unzip).
add_test(NAME zip_libcodec_interop
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/libcodec_interop.sh $<TARGET_FILE:libcodec_tool> ${PROJECT_SOURCE_DIR})
set_tests_properties(zip_libcodec_interop PROPERTIES TIMEOUT 900 LABELS zip)
