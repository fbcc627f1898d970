#include "tools/site/PartFileCleanup.h"
#include "tools/site/SiteTool.h"

#include <iostream>

int main(int argc, char** argv) {
    walkmere::sitetool::installPartFileCleanup();
    return walkmere::sitetool::runSiteTool(argc, argv, std::cout, std::cerr);
}
