#include "platform/system/internal/IconvConverter.h"

#include <cerrno>
#include <iconv.h>
#include <utility>

namespace qv::system::internal {

namespace {

// iconv_open's failure value, as iconv defines it.
const iconv_t InvalidHandle = reinterpret_cast<iconv_t>(-1); // NOLINT(performance-no-int-to-ptr)

iconv_t Handle(void* handle) {
    return static_cast<iconv_t>(handle);
}

// Grows `output` by a chunk and hands out the free part to iconv; `Commit` trims it back.
struct OutputWindow {
    std::string& output;
    std::size_t used;
    char* next = nullptr;
    std::size_t left = 0;

    void Grow(std::size_t wanted) {
        std::size_t chunk = wanted < 64 ? 64 : wanted;
        output.resize(used + chunk);
        next = output.data() + used;
        left = chunk;
    }
    void Commit() {
        used = static_cast<std::size_t>(next - output.data());
        output.resize(used);
    }
};

} // namespace

IconvConverter::IconvConverter(const char* toCode, const char* fromCode) noexcept
    : mHandle(iconv_open(toCode, fromCode)) {}

IconvConverter::~IconvConverter() {
    if (Valid()) {
        iconv_close(Handle(mHandle));
    }
}

IconvConverter::IconvConverter(IconvConverter&& other) noexcept
    : mHandle(std::exchange(other.mHandle, InvalidHandle)) {}

IconvConverter& IconvConverter::operator=(IconvConverter&& other) noexcept {
    if (this != &other) {
        if (Valid()) {
            iconv_close(Handle(mHandle));
        }
        mHandle = std::exchange(other.mHandle, InvalidHandle);
    }
    return *this;
}

bool IconvConverter::Valid() const noexcept {
    return Handle(mHandle) != InvalidHandle;
}

IconvConverter::Result IconvConverter::Convert(std::string_view input, std::string& output) {
    Result result;
    char* in = const_cast<char*>(input.data()); // iconv's signature; it never writes input
    std::size_t inLeft = input.size();
    OutputWindow window{output, output.size()};
    while (inLeft > 0) {
        window.Grow(inLeft * 4);
        std::size_t converted = iconv(Handle(mHandle), &in, &inLeft, &window.next, &window.left);
        window.Commit();
        if (converted != static_cast<std::size_t>(-1) || errno == E2BIG) {
            continue;
        }
        result.stop = errno == EINVAL ? Stop::Incomplete : Stop::Invalid;
        break;
    }
    result.consumed = input.size() - inLeft;
    return result;
}

void IconvConverter::Finish(std::string& output) {
    OutputWindow window{output, output.size()};
    for (;;) {
        window.Grow(64);
        std::size_t flushed = iconv(Handle(mHandle), nullptr, nullptr, &window.next, &window.left);
        window.Commit();
        if (flushed != static_cast<std::size_t>(-1) || errno != E2BIG) {
            return;
        }
    }
}

void IconvConverter::Reset() noexcept {
    iconv(Handle(mHandle), nullptr, nullptr, nullptr, nullptr);
}

} // namespace qv::system::internal
