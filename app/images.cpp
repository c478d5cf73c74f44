#include "images.h"

#include <filesystem>
#include <system_error>

namespace demo {

namespace fs = std::filesystem;

std::string FINDIMAGEIN(const char* file, const std::string& EXEDIR) {
    std::error_code error;
    if (fs::is_regular_file(file, error))
        return file;
    if (EXEDIR.empty())
        return file;
    for (const fs::path& dir : {fs::path(EXEDIR), fs::path(EXEDIR) / NEMBRA_DEMO_DATA_FROM_BIN}) {
        const fs::path candidate = (dir / file).lexically_normal();
        if (fs::is_regular_file(candidate, error))
            return candidate.string();
    }
    return file;
}

std::string FINDIMAGE(const char* file) {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return FINDIMAGEIN(file, error ? std::string() : exe.parent_path().string());
}

} // namespace demo
