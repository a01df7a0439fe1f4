#pragma once
// A borrowed run of bytes, so the crypto calls take text and binary buffers
// alike without copying. It never owns: keep the source alive for the call.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sec {

class ByteView {
public:
    constexpr ByteView() = default;
    constexpr ByteView(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    ByteView(std::string_view text)
        : data_(reinterpret_cast<const std::uint8_t*>(text.data())), size_(text.size()) {}
    ByteView(const char* text) : ByteView(std::string_view(text)) {}
    ByteView(const std::string& text) : ByteView(std::string_view(text)) {}
    constexpr ByteView(std::span<const std::uint8_t> bytes) : data_(bytes.data()), size_(bytes.size()) {}
    ByteView(const std::vector<std::uint8_t>& bytes) : data_(bytes.data()), size_(bytes.size()) {}
    template <std::size_t N>
    constexpr ByteView(const std::array<std::uint8_t, N>& bytes) : data_(bytes.data()), size_(N) {}

    constexpr const std::uint8_t* data() const { return data_; }
    constexpr std::size_t size() const { return size_; }
    constexpr bool empty() const { return size_ == 0; }
    constexpr const std::uint8_t* begin() const { return data_; }
    constexpr const std::uint8_t* end() const { return data_ + size_; }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace sec
