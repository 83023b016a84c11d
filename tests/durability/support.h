#pragma once
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/fake/fake_platform.h"
#include "posix_files.h"

// The fake platform, but with the real POSIX file operations.
inline marlet::fake::World& installWithPosixFiles() {
    marlet::fake::World& w = marlet::fake::install();
    static marlet::Platform table;
    table = *marlet::gPlatform;
    marlet::posix::useFiles(table);
    marlet::gPlatform = &table;
    return w;
}

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it.
struct TempFolder {
    std::string path;

    TempFolder() {
        const char* base = getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/marlet-XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data())) path = buf.data();
    }
    ~TempFolder() {
        for (const std::string& name : names()) unlink((path + "/" + name).c_str());
        rmdir(path.c_str());
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The entries of the folder, "." and ".." left out.
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        if (DIR* d = opendir(path.c_str())) {
            while (dirent* e = readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != "..") result.push_back(n);
            }
            closedir(d);
        }
        return result;
    }
};
