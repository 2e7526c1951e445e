// testmodule.cpp
// The module globals of the test programs: what the program's own start-up
// source defines in the real executable.
#include "osservices.h"

OSSERVICES_APPLICATION_GLOBALS("dravo_tests");
