// The remembered dialog position lives in the window toolkit, where the zip dialog reaches it.
#pragma once
#include "toolkit/DialogPlace.h"
