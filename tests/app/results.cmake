# The text search dialog's test runs the dialog from its template: the resource script goes in.
target_sources(app_results_dialog_test PRIVATE ${PROJECT_SOURCE_DIR}/app/res/TextSearchDlg.rc)
target_sources(app_valuesearch_dialog_test PRIVATE ${PROJECT_SOURCE_DIR}/app/res/ValueSearchDlg.rc)
# The texts test reads the dialogs from the built program.
add_dependencies(app_texts_test Vellmorant)
