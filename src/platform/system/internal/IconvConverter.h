#pragma once

#include <string>
#include <string_view>

namespace qv::system::internal {

/// Owns one iconv conversion descriptor (iconv_t, held as void* so that <iconv.h> stays out of
/// headers). Not copyable, movable; the destructor never throws. Stateful encodings
/// (ISO-2022-JP, UTF-7, the composing Vietnamese and Hebrew pages) keep a shift state or a
/// buffered character between calls: Finish emits it and returns to the initial state.
class IconvConverter {
public:
    /// Valid() is false when iconv cannot convert between the two encodings.
    IconvConverter(const char* toCode, const char* fromCode) noexcept;
    ~IconvConverter();
    IconvConverter(IconvConverter&& other) noexcept;
    IconvConverter& operator=(IconvConverter&& other) noexcept;
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;

    bool Valid() const noexcept;

    /// Why Convert stopped.
    enum class Stop { Done, Invalid, Incomplete };
    struct Result {
        std::size_t consumed = 0; // input bytes converted, up to the failing sequence
        Stop stop = Stop::Done;
    };

    /// Converts as much of `input` as it can, appending to `output`; stops at the first
    /// invalid sequence, or at an incomplete one at the end of `input`.
    Result Convert(std::string_view input, std::string& output);

    /// Emits what the converter still holds (a buffered character, the sequence back to the
    /// initial shift state) and resets it.
    void Finish(std::string& output);

    /// Returns to the initial state, dropping anything buffered.
    void Reset() noexcept;

private:
    void* mHandle;
};

} // namespace qv::system::internal
