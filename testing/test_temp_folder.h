#pragma once
#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace tt::testing {

// A file's bytes as they stand; "<missing>" when it cannot be opened.
inline std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A fresh, empty folder of a test's own, removed with everything in it afterwards. Made with
// the standard library only, so the same tests run on Windows.
class TempFolder {
  public:
    explicit TempFolder(
        const std::string& prefix = "tt_test",
        const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
        static std::atomic<unsigned> serial{0};
        std::random_device random;
        for (;;) {
            path_ =
                base / (prefix + "_" + std::to_string(random()) + "_" + std::to_string(++serial));
            if (std::filesystem::create_directory(path_)) break;
        }
    }
    ~TempFolder() {
        std::error_code ec;
        // A test may have taken the rights away to provoke a refused write.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace tt::testing
