// A directory for the files a test process writes, removed when the process ends.
#pragma once

#include <filesystem>
#include <stdlib.h>

namespace testsupport {

inline const std::filesystem::path& TempDir() {
    static const struct Directory {
        std::filesystem::path path;
        Directory() {
            char pattern[] = "/tmp/nembra-test-XXXXXX";
            const char* made = mkdtemp(pattern);
            path = made ? made : std::filesystem::temp_directory_path();
        }
        ~Directory() {
            if (path != std::filesystem::temp_directory_path())
                std::filesystem::remove_all(path);
        }
    } directory;
    return directory.path;
}

} // namespace testsupport
