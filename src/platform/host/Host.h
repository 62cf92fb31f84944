#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::host {

/// The three looks of the progress window.
enum class ProgressStyle : std::uint8_t {
    Standard = 1,    ///< loading or unloading a database or project: caption, information line, bar
    Busy = 2,        ///< short stages that only say "Please wait...": caption and information line
    Cancellable = 3, ///< creating scripts and generating: bar, and the user may cancel
};

enum class MessageIcon : std::uint8_t { None, Critical, Question, Exclamation, Information };
enum class MessageButtons : std::uint8_t { Ok, OkCancel, YesNo, YesNoCancel };
/// The button that closed a message box. A box the user closes otherwise answers Cancel when it
/// has a Cancel button, else Ok (Yes/No boxes cannot be closed otherwise).
enum class MessageAnswer : std::uint8_t { Ok, Cancel, Yes, No };

/// A message box. An empty title means the host's default title (the product name).
struct Message {
    std::u16string title;
    std::u16string text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

/// What the overwrite prompt asks about: an existing output file or folder.
enum class OverwriteTarget : std::uint8_t { File, Folder };

/// The overwrite prompt (buttons Overwrite, Skip, Cancel and a check box "All"). Its label is
/// OverwriteText of the question.
struct OverwriteQuestion {
    std::u16string title;
    OverwriteTarget target = OverwriteTarget::File;
    std::u16string path;
    /// What the existing page may do as it is, when it differs from the page a login in force
    /// needs ("serve visitors who have not logged in"); empty when keeping it opens nothing.
    std::u16string leavesOpen{};
};

/// Closed means the prompt was shut by its frame: the caller then keeps what it had decided
/// before asking (the file is skipped and nothing is remembered).
enum class OverwriteChoice : std::uint8_t { Overwrite, Skip, Cancel, Closed };

/// `all` is the state of the "All" check box; it matters for Overwrite and Skip only.
/// `byDefault` marks the host's own answer, given where nobody could be asked: a page that
/// leaves a login open and is replaced by it keeps a backup whatever the backup preference,
/// and a "skip all" given by it never keeps such a page.
struct OverwriteAnswer {
    OverwriteChoice choice = OverwriteChoice::Closed;
    bool all = false;
    bool byDefault = false;
};

/// Keep or overwrite the extracted template folder when the package changed. The label is
/// TemplateFolderText.
struct TemplateQuestion {
    std::u16string title;
};

/// Closed means the dialog was shut by its frame; the caller treats it as Overwrite.
enum class TemplateChoice : std::uint8_t { Keep, Overwrite, Closed };

/// Keep the project's definition or update it from the database (buttons "Keep" and "Update");
/// the caller supplies the question, such as a changed primary key.
struct SyncQuestion {
    std::u16string title;
    std::u16string text;
};

/// Closed means the form was shut by its frame; the caller keeps its preset answer.
enum class SyncChoice : std::uint8_t { Keep, Update, Closed };

/// Choose one schema (owner) from a list; the form has only an OK button and insists on a
/// choice (SchemaRequiredText) before it closes.
struct SchemaQuestion {
    std::u16string title;
    std::vector<std::u16string> schemas;
};

/// `schema` is empty when the form was closed by its frame without a choice; the caller then
/// keeps the choice it had before.
struct SchemaAnswer {
    std::optional<std::u16string> schema;
};

/// Map objects that vanished from the database (old names) onto objects that appeared (new
/// names), so that renamed tables, views and fields keep their settings.
struct NameMapQuestion {
    std::u16string title;
    std::u16string message;
    std::u16string newHeading;
    std::u16string oldHeading;
    std::vector<std::u16string> newNames;
    std::vector<std::u16string> oldNames;
};

/// When confirmed, `oldNames` has one entry per new name, in the same order: the old name the
/// user chose for it, spelled exactly as offered, or "" for none. Unconfirmed means rename
/// nothing.
struct NameMapAnswer {
    bool confirmed = false;
    std::vector<std::u16string> oldNames;
};

/// Fixed texts of the dialogs, shown by every host.
inline constexpr std::u16string_view TemplateFolderText =
    u"Template version in zip file is different with that in the template folder. Do you want to keep the "
    u"existing files in the template folder or extract and overwrite from the zip file?";
inline constexpr std::u16string_view SchemaHeadingText = u"Choose a Schema";
inline constexpr std::u16string_view SchemaPromptText =
    u"Please choose a schema for the Oracle ODBC Connection so that only a subset of tables will be loaded.";
inline constexpr std::u16string_view SchemaRequiredText = u"Please choose a schema to proceed!";

/// The longest path the overwrite prompt shows in full.
inline constexpr std::size_t CompactPathLimit = 55;

/// Shortens a path to at most CompactPathLimit characters where possible by replacing parts
/// after the first with "...": C:\...\My Documents\site\admin\pages\orders_list.asp. Either
/// separator splits; the ellipsis is joined with the path's first separator.
std::u16string CompactPath(std::u16string_view path);

/// The overwrite prompt's label: "File <path> already exists!" or "Folder <path> already
/// exists!", the path shortened by CompactPath unless `compact` is false.
std::u16string OverwriteText(const OverwriteQuestion& question, bool compact = true);

/// The user-facing side of the library: the progress window, message boxes and the modal
/// dialogs, supplied by whoever hosts the library (the command-line program, a test). The
/// library borrows it and never owns it. Every call is made on the apartment's one thread.
///
/// Progress calls may come when no window is shown (they are then ignored) and very often
/// (once per table or page): implementations must keep them cheap.
class Host {
public:
    virtual ~Host() = default;

    /// Opens the progress window with a caption, replacing a window already shown.
    virtual void ShowProgress(ProgressStyle style, std::u16string_view caption) = 0;
    /// Sets the window's information line.
    virtual void SetProgressInfo(std::u16string_view text) = 0;
    /// Sets the bar, 0 to 100; values outside are clamped.
    virtual void SetProgressPercent(int percent) = 0;
    /// Whether the user asked to cancel the running operation.
    virtual bool IsCancelled() = 0;
    virtual void CloseProgress() = 0;

    /// Shows a message box and waits for its answer.
    virtual MessageAnswer ShowMessage(const Message& message) = 0;

    virtual OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) = 0;
    virtual TemplateChoice AskTemplateFolder(const TemplateQuestion& question) = 0;
    virtual SyncChoice AskKeepOrUpdate(const SyncQuestion& question) = 0;
    virtual SchemaAnswer ChooseSchema(const SchemaQuestion& question) = 0;
    virtual NameMapAnswer MapNames(const NameMapQuestion& question) = 0;
};

} // namespace qv::host
