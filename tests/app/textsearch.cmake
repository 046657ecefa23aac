# Peer check of the text search engine against GNU grep (see textsearch_peer.sh).
add_test(NAME app_textsearch_peer
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/textsearch_peer.sh $<TARGET_FILE:textsearch_grep> ${PROJECT_SOURCE_DIR})
set_tests_properties(app_textsearch_peer PROPERTIES TIMEOUT 300 LABELS app)
