#pragma once

#include <string>
#include <string_view>

namespace qv {

/// The content an output of a generation run is about to get: the bytes of a page or a style
/// sheet, or a file or folder copied unchanged into the site. It answers the one question every
/// writer asks before it decides about overwriting: would the output come out the same?
class OutputContent {
public:
    /// Bytes about to be written; the view must outlive this object.
    static OutputContent Bytes(std::string_view bytes);
    /// A copy of the file `source`.
    static OutputContent CopyOfFile(std::u16string_view source);
    /// A copy of the folder `source` with everything in it, merged into the target.
    static OutputContent CopyOfFolder(std::u16string_view source);

    /// Whether the target is a folder (a folder copy) rather than a file.
    bool IsFolder() const noexcept { return mKind == Kind::Folder; }

    /// Whether `target` already holds exactly this content, so that writing it would change
    /// nothing: a file of the same size and bytes; for a folder, every file and folder below the
    /// source present in the target with the same bytes (the copy leaves other files alone).
    /// Anything that cannot be read counts as a change. Never raises.
    bool IsAlreadyAt(std::u16string_view target) const;

private:
    enum class Kind { Bytes, File, Folder };
    OutputContent(Kind kind, std::string_view bytes, std::u16string_view source)
        : mKind(kind), mBytes(bytes), mSource(source) {}

    Kind mKind;
    std::string_view mBytes;
    std::u16string mSource;
};

} // namespace qv
