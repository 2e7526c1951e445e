// main.cpp
// The program's entry: everything happens in DravoMain.
#include "dravo.h"

int main(int argc, char **argv)
{
    return DravoMain(argc, argv);
}
