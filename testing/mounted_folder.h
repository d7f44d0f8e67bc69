#pragma once
// Linux only: a folder with a file system of its own, for tests of real faults (a full disk, a
// read-only folder). Mounting needs root; without it the test says why and skips.
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace tt::testing {

// Mounted at `at` (made if missing), unmounted afterwards.
class MountedFolder {
  public:
    MountedFolder(const std::filesystem::path& at, const char* type, const char* source,
                  unsigned long flags, const char* options)
        : at_(at) {
        std::filesystem::create_directories(at);
        if (::geteuid() != 0) {
            why_ = "not root: a real " + std::string(type ? type : "bind") + " mount needs root";
        } else if (::mount(source, at.c_str(), type, flags, options) != 0) {
            why_ = "mount refused here: " + std::string(std::strerror(errno));
        } else {
            mounted_ = true;
        }
    }
    // `at` seen a second time, through a bind mount that can be made read-only and back.
    static MountedFolder Bind(const std::filesystem::path& at, const std::filesystem::path& of) {
        return MountedFolder(at, nullptr, of.c_str(), MS_BIND, nullptr);
    }
    ~MountedFolder() {
        if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
    }
    MountedFolder(MountedFolder&& other) noexcept
        : at_(std::move(other.at_)), mounted_(other.mounted_), why_(std::move(other.why_)) {
        other.mounted_ = false;
    }
    MountedFolder(const MountedFolder&) = delete;
    MountedFolder& operator=(const MountedFolder&) = delete;
    MountedFolder& operator=(MountedFolder&&) = delete;

    // A bind mount made read-only or writable again; false with the reason in Why.
    bool SetReadOnly(bool readOnly) {
        const unsigned long flags = MS_REMOUNT | MS_BIND | (readOnly ? MS_RDONLY : 0);
        if (::mount(nullptr, at_.c_str(), nullptr, flags, nullptr) == 0) return true;
        why_ = std::string("no remount here: ") + std::strerror(errno);
        return false;
    }
    // Empty when mounted; else why not, for the skip line.
    const std::string& Why() const { return why_; }

  private:
    std::filesystem::path at_;
    bool mounted_ = false;
    std::string why_;
};

}  // namespace tt::testing
