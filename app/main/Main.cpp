// The program's one application object.
#include "app/VellmorantApp.h"

// Arguments such as "-p:*.txt" reach the program as written: no wildcard expansion.
int _dowildcard = 0;

CVellmorantApp theApp;
