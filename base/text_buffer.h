#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string_view>

namespace tt {

// A growable run of bytes like std::string, except that it can grow without writing the new
// bytes first: a file can be read straight into it, so a big file's bytes pass through memory
// once instead of being zeroed and copied.
class TextBuffer {
  public:
    TextBuffer() = default;
    TextBuffer(const TextBuffer& other) { append(other.view()); }
    TextBuffer& operator=(const TextBuffer& other) {
        if (this != &other) {
            clear();
            append(other.view());
        }
        return *this;
    }
    TextBuffer(TextBuffer&& other) noexcept
        : bytes_(std::move(other.bytes_)), size_(other.size_), capacity_(other.capacity_) {
        other.size_ = other.capacity_ = 0;
    }
    TextBuffer& operator=(TextBuffer&& other) noexcept {
        bytes_ = std::move(other.bytes_);
        size_ = other.size_;
        capacity_ = other.capacity_;
        other.size_ = other.capacity_ = 0;
        return *this;
    }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    char* data() { return bytes_.get(); }
    const char* data() const { return bytes_.get(); }
    std::string_view view() const { return {bytes_.get(), size_}; }

    void reserve(size_t capacity) {
        if (capacity <= capacity_) return;
        if (capacity > static_cast<size_t>(PTRDIFF_MAX)) throw std::length_error("text too long");
        std::unique_ptr<char[]> bigger(new char[capacity]);
        if (size_ != 0) std::memcpy(bigger.get(), bytes_.get(), size_);
        bytes_ = std::move(bigger);
        capacity_ = capacity;
    }
    // Adds `n` bytes that hold nothing yet and returns where they start; the caller fills them
    // or gives back what it did not fill with Truncate.
    char* Extend(size_t n) {
        if (capacity_ - size_ < n) {
            if (n > static_cast<size_t>(PTRDIFF_MAX) - size_)
                throw std::length_error("text too long");
            reserve(std::max(size_ + n, capacity_ + capacity_ / 2));
        }
        char* at = bytes_.get() + size_;
        size_ += n;
        return at;
    }
    void Truncate(size_t size) { size_ = std::min(size, size_); }
    void append(std::string_view text) {
        if (!text.empty()) std::memcpy(Extend(text.size()), text.data(), text.size());
    }
    void clear() { size_ = 0; }

  private:
    std::unique_ptr<char[]> bytes_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

}  // namespace tt
