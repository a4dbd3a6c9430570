#include <iostream>

#include "tools/dev/formdump/FormDump.h"

int main(int argc, char** argv) {
    formdump::RegisterFormDumpClasses();
    return formdump::FormDumpMain(argc, argv, std::cout, std::cerr);
}
