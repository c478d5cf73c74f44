// Reading a whole file for the stand-in's file parsers (BMP, cursor and icon files). POSIX and the C++
// standard library only, so the fuzzing harnesses build it with the parsers alone.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace win::files {

// Reads the regular file at `path` into `bytes`. A file that cannot be opened or read, is not a
// regular file or is larger than maxBytes (checked before anything is read) is refused: false, with
// `reason` set to a short phrase ("cannot open: No such file or directory", "file too large").
inline bool ReadWholeFile(const char* path, std::int64_t maxBytes, std::vector<std::uint8_t>& bytes,
                          std::string& reason) {
    struct Descriptor {
        int fd;
        ~Descriptor() {
            if (fd >= 0)
                ::close(fd);
        }
    } const file{::open(path, O_RDONLY | O_CLOEXEC)};
    auto refuse = [&reason](std::string text) {
        reason = std::move(text);
        return false;
    };
    if (file.fd < 0)
        return refuse(std::string("cannot open: ") + std::strerror(errno));
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        return refuse(std::string("cannot read: ") + std::strerror(errno));
    if (S_ISDIR(info.st_mode))
        return refuse(std::string("cannot read: ") + std::strerror(EISDIR));
    if (!S_ISREG(info.st_mode))
        return refuse("cannot read: not a regular file");
    if (info.st_size > maxBytes)
        return refuse("file too large");

    bytes.assign(static_cast<std::size_t>(info.st_size), 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return refuse(std::string("cannot read: ") + std::strerror(errno));
        if (got == 0)
            return refuse("cannot read: file shrank while being read");
        done += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace win::files
