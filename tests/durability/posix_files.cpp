#include "posix_files.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace marlet::posix {

bool fileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool readFile(const std::string& path, std::string& bytes) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string data;
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return false;
        }
        if (n == 0) break;
        data.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    bytes = std::move(data);
    return true;
}

static bool writeAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

static bool syncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

static bool failed(FileFailure* failure, int error) {
    if (failure)
        *failure = {.accessDenied = error == EACCES || error == EPERM || error == EROFS,
                    .code = static_cast<uint32_t>(error),
                    .reason = strerror(error)};
    return false;
}

bool replaceFile(const std::string& path, const std::string& bytes, FileFailure* failure) {
    // A link is followed, so the file it names is replaced and the link stays.
    std::string target = path;
    if (char* real = realpath(path.c_str(), nullptr)) {
        target = real;
        free(real);
    }
    struct stat old;
    bool existed = stat(target.c_str(), &old) == 0;
    if (existed && (!S_ISREG(old.st_mode) || (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0))
        return failed(failure, EACCES);

    size_t slash = target.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string tmpl = (slash == std::string::npos ? "" : target.substr(0, slash + 1)) + "." + name + ".XXXXXX";
    std::vector<char> temp(tmpl.begin(), tmpl.end());
    temp.push_back('\0');
    int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return failed(failure, errno);

    // The new file takes the old one's permissions and, where allowed, its owner.
    if (existed) {
        int owned = fchown(fd, old.st_uid, old.st_gid);
        (void)owned;  // when it may not be given away, the file becomes ours
    }
    bool ok = writeAll(fd, bytes) && fchmod(fd, existed ? old.st_mode & 07777 : 0644) == 0 &&
              fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (!ok || rename(temp.data(), target.c_str()) != 0) {
        int error = errno;
        unlink(temp.data());
        return failed(failure, error);
    }
    // The rename is durable only once the folder's entry is on the disk; the new
    // content is in place either way, so a failure here is not reported.
    syncFolder(folder);
    return true;
}

void useFiles(Platform& table) {
    table.fileExists = fileExists;
    table.readFile = readFile;
    table.replaceFile = replaceFile;
}

}  // namespace marlet::posix
