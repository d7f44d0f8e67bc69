#pragma once
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/datetime.h"
#include "base/files.h"
#include "base/format.h"
#include "base/text_buffer.h"

namespace tt {

// Lines that follow each other in a text where each ends with CR LF, by where they start.
struct LogLineBatch {
    const char* Text = nullptr;
    const size_t* Starts = nullptr;
    size_t Count = 0;
    size_t End = 0;  // where the line after the last would start

    size_t size() const { return Count; }
    std::string_view operator[](size_t i) const {
        const size_t next = i + 1 < Count ? Starts[i + 1] : End;
        return std::string_view(Text + Starts[i], next - 2 - Starts[i]);
    }
};

// Sees every line of the log (without its end) as it is loaded, in order and a batch at a
// time, while its bytes are still in the cache; the day and month totals are counted that way
// at start.
class LogLineSink {
  public:
    virtual ~LogLineSink() = default;
    virtual void OnLines(const LogLineBatch& lines) = 0;
};

// The in-memory log: the master copy of "raport.txt" for the whole run. Lines are kept byte
// for byte as read (only their line ends are made CR LF), also the ones nobody can parse.
class TLogLines {
  public:
    size_t size() const { return starts_.size(); }
    bool empty() const { return starts_.empty(); }
    std::string_view operator[](size_t i) const { return From(0)[i]; }
    // The lines from the one with index `from` on, as one batch.
    LogLineBatch From(size_t from) const {
        return LogLineBatch{text_.data(), starts_.data() + from, starts_.size() - from,
                            text_.size()};
    }
    // A line break inside `line` would split it on the next load, so it becomes a blank.
    void Add(std::string_view line);
    void Clear();
    // The lines as the file holds them: every one ended by CR LF.
    std::string_view FileImage() const { return text_.view(); }

    // Splits text as the file is read: CR LF, a lone CR or a lone LF ends a line; a last line
    // without an end counts too.
    static TLogLines FromText(std::string_view text);

    // Set when the file was there at start but could not be read whole (locked by another
    // program, or too big for the memory left): its lines are not in memory, so it must never
    // simply be replaced.
    bool FileUnread = false;
    // The file as this run last read or wrote it; a file that no longer matches has been
    // changed by someone else and is read again before it is replaced.
    FileStamp Stamp;
    // How many of the first lines are in the file as Stamp describes it; the rest wait to be
    // written.
    size_t Saved = 0;
    bool Unsaved() const { return Saved < size(); }

  private:
    friend bool LoadLog(const std::filesystem::path&, TLogLines&, LogLineSink*);
    // LoadLog without its guard against running out of memory.
    static bool LoadUnguarded(const std::filesystem::path& file, TLogLines& lines,
                              LogLineSink* sink);
    // Takes the lines of text_, handing them to `sink`, while each is ended by CR LF and holds
    // no other CR or LF (the form the file is written in); true when that took the whole text.
    bool TakeCanonicalLines(LogLineSink* sink);
    // FromText byte by byte, for text that is not in that form.
    static TLogLines CutPlainly(std::string_view source);

    // Growing the list of line starts by a batch leaves the new entries unset rather than
    // zeroing them first, as they are written right after.
    template <class T>
    struct Unzeroed : std::allocator<T> {
        template <class U>
        struct rebind {
            using other = Unzeroed<U>;
        };
        template <class U>
        void construct(U* p) {
            ::new (static_cast<void*>(p)) U;
        }
        template <class U, class... Args>
        void construct(U* p, Args&&... args) {
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
        }
    };

    TextBuffer text_;
    std::vector<size_t, Unzeroed<size_t>> starts_;
};

// The field with that index (from 0) of a TAB-separated line; a final TAB changes nothing, an
// index past the last field gives an empty text.
std::string SplitField(std::string_view line, int index);
std::string_view FieldView(std::string_view line, int index);

// Reads the file into `lines` (emptied first), handing each line to `sink` if there is one.
// False when there is no file to read; when it exists but cannot be read, `lines.FileUnread`
// is set as well.
bool LoadLog(const std::filesystem::path& file, TLogLines& lines, LogLineSink* sink = nullptr);

// date TAB duration TAB pulses TAB cost TAB, in the user's formats; the cost never with an
// exponent, which no reader of the log takes.
std::string FormatRecord(TDateTime date, TDateTime duration, int pulses, long double cost,
                         const FormatSettings& fs);

// Where each unsaved line (from lines.Saved on) will start in the file's bytes, told before a
// save writes them, so that a record can be found again after a crash.
using LogPlacement =
    std::function<void(const TLogLines& lines, const std::vector<uint64_t>& offsets)>;
// Replaces the file with `lines`. When the file cannot be written, tt::Error "Unable to write to
// <full path>" is thrown, the old file is left as it was and `lines` keep every line (the next
// successful write includes them). A file that is not as this run
// last read or wrote it (another program added lines, or it could not be read at start) is
// read again first: its lines go first, then those of `lines` that it lacks, and `lines`
// becomes that list. A file that still cannot be read whole is never replaced: the unsaved
// lines are added at its end instead. A deleted file is written again whole.
void SaveLog(TLogLines& lines, const std::filesystem::path& file, const LogPlacement& placed = {});

// The lines of `disk` followed by those of `ours` that `disk` lacks (each line counted as often
// as it occurs), in the order of `ours`.
TLogLines MergeLogLines(const TLogLines& disk, const TLogLines& ours);
// Just the lines of `ours` that `disk` lacks, counted and ordered the same way.
TLogLines MissingLogLines(const TLogLines& disk, const TLogLines& ours);

}  // namespace tt
