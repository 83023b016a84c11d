// installer_facts nsis|wix FILE: writes what one installer takes from Marlet's
// tables (installer_facts.h). Run at build time on the machine that builds.
#include <cstdio>
#include <fstream>
#include <string>

#include "installer/facts/installer_facts.h"

namespace {

bool write(const char* path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (file) return true;
    std::fprintf(stderr, "installer_facts: could not write %s\n", path);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kind = argc == 3 ? argv[1] : "";
    if (kind != "nsis" && kind != "wix") {
        std::fprintf(stderr, "usage: installer_facts nsis|wix FILE\n");
        return 2;
    }
    const std::string text = kind == "nsis" ? marlet::installer::nsisInclude() : marlet::installer::wixComClasses();
    return write(argv[2], text) ? 0 : 1;
}
