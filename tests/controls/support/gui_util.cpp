// The window-test helpers of the framework tests, shared here.
#include "framework/support/gui_util.cpp"
