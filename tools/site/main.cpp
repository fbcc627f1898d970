#include "tools/site/SiteTool.h"

#include <iostream>

int main(int argc, char** argv) {
    return walkmere::sitetool::runSiteTool(argc, argv, std::cout, std::cerr);
}
