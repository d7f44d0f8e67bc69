#include "log/log_file.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/error.h"
#include "base/files.h"
#include "log/line_ends.h"

namespace tt {

void TLogLines::Add(std::string_view line) {
    starts_.push_back(text_.size());
    char* const at = text_.Extend(line.size() + 2);
    std::replace_copy_if(
        line.begin(), line.end(), at, [](char c) { return c == '\r' || c == '\n'; }, ' ');
    at[line.size()] = '\r';
    at[line.size() + 1] = '\n';
}

void TLogLines::Clear() {
    text_.clear();
    starts_.clear();
}

bool TLogLines::TakeCanonicalLines(LogLineSink* sink) {
    // The line ends of a stretch are gathered first and the lines taken after, so that
    // neither loop branches on what each byte is.
    uint32_t ends[kLineEndRoom];
    LineEndScan scan;
    size_t lineStart = 0;
    const size_t size = text_.size();
    for (size_t from = 0; from < size && !scan.Stray; from += kLineEndStretch) {
        const size_t count =
            FindLineEnds(text_.data() + from, std::min(kLineEndStretch, size - from), scan, ends);
        const size_t first = starts_.size();
        starts_.resize(first + count);
        size_t* const out = starts_.data() + first;
        for (size_t i = 0; i < count; ++i) {
            out[i] = lineStart;
            lineStart = from + ends[i] + 1;
        }
        if (sink != nullptr && count != 0) {
            sink->OnLines(LogLineBatch{text_.data(), out, count, lineStart});
        }
    }
    return !scan.Stray && lineStart == size;
}

TLogLines TLogLines::FromText(std::string_view text) {
    TLogLines out;
    if (text.empty()) return out;
    out.starts_.reserve(text.size() / 24 + 1);
    out.text_.reserve(text.size() + 2);
    out.text_.append(text);
    if (text.back() != '\n' && text.back() != '\r') out.text_.append("\r\n");

    // The usual file is already in the form we keep (every line ended by CR LF): then the text
    // is kept as it is and only the line starts are found.
    if (out.TakeCanonicalLines(nullptr)) return out;
    return CutPlainly(out.text_.view());
}

TLogLines TLogLines::CutPlainly(std::string_view source) {
    TLogLines out;
    out.text_.reserve(source.size() + source.size() / 2 + 2);
    size_t start = 0;
    for (size_t j = 0; j <= source.size(); ++j) {
        const bool last = j == source.size();
        if (last ? start == j : source[j] != '\r' && source[j] != '\n') continue;
        out.starts_.push_back(out.text_.size());
        out.text_.append(source.substr(start, j - start));
        out.text_.append("\r\n");
        if (!last && source[j] == '\r' && j + 1 < source.size() && source[j + 1] == '\n') ++j;
        start = j + 1;
    }
    return out;
}

std::string_view FieldView(std::string_view line, int index) {
    if (index < 0) return {};
    for (int k = 0; k < index; ++k) {
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos) return {};
        line.remove_prefix(tab + 1);
        if (line.empty()) return {};  // the final TAB ends the last field, it opens none
    }
    return line.substr(0, line.find('\t'));
}

std::string SplitField(std::string_view line, int index) {
    return std::string(FieldView(line, index));
}

namespace {
// A file that starts with a byte-order mark: a text editor saved the log as Unicode.
bool MarkedUnicode(const std::filesystem::path& file) {
    const std::optional<std::string> head = ReadFileRange(file, 0, 3);
    if (!head) return false;
    return head->starts_with("\xEF\xBB\xBF") || head->starts_with("\xFF\xFE") ||
           head->starts_with("\xFE\xFF");
}
}  // namespace

bool LoadLog(const std::filesystem::path& file, TLogLines& lines, LogLineSink* sink) {
    // Taken before the read: should the file change while it is read, the stamps differ and
    // the next save reads it again.
    const FileStamp before = StampOf(file);
    if (MarkedUnicode(file)) {
        // Saved by an editor as Unicode: not ours to read line by line, nor to add our lines to.
        lines = TLogLines{};
        lines.FileUnread = true;
        return false;
    }
    try {
        if (!TLogLines::LoadUnguarded(file, lines, sink)) return false;
    } catch (const std::bad_alloc&) {
        // Too big for the memory left: known to be there, not held, so never replaced by less.
        lines = TLogLines{};
        lines.FileUnread = true;
        return false;
    }
    lines.Stamp = before;
    lines.Saved = lines.size();
    return true;
}

bool TLogLines::LoadUnguarded(const std::filesystem::path& file, TLogLines& lines,
                              LogLineSink* sink) {
    lines = TLogLines{};
    auto unreadable = [&] {
        std::error_code ec;
        lines.FileUnread = std::filesystem::exists(file, ec) || ec;
        return false;
    };
    size_t visited = 0;
    TLogLines recut;
    if constexpr (kDiskTextIsUtf8) {
        // Read straight into the kept text, so that the bytes pass through memory once, and
        // cut after: a scan of the whole text runs faster than one interleaved with reads.
        ReadChunks reader(file);
        if (!reader.Open()) return unreadable();
        lines.text_.reserve(reader.SizeHint() + ReadChunks::kPiece);
        lines.starts_.reserve(reader.SizeHint() / 24 + 1);
        for (;;) {
            const size_t before = lines.text_.size();
            const std::optional<size_t> got =
                reader.ReadInto(lines.text_.Extend(ReadChunks::kPiece), ReadChunks::kPiece);
            lines.text_.Truncate(before + got.value_or(0));
            if (!got) return unreadable();
            if (*got == 0) break;
        }
        if (lines.TakeCanonicalLines(sink)) return true;
        visited = lines.starts_.size();
        // The last line lacks its end, or the file has foreign line ends: the plain way picks
        // up after the lines already taken, which it cuts the same.
        recut = TLogLines::CutPlainly(lines.text_.view());
    } else {
        std::optional<std::string> bytes = ReadWholeFile(file);
        if (!bytes) return unreadable();
        recut = TLogLines::FromText(TextFromDisk(std::move(*bytes)));
    }
    lines = std::move(recut);
    if (sink != nullptr && visited < lines.size()) sink->OnLines(lines.From(visited));
    return true;
}

std::string FormatRecord(TDateTime date, TDateTime duration, int pulses, long double cost,
                         const FormatSettings& fs) {
    std::string line = DateToStr(date, fs);
    line += '\t';
    line += DurationToStr(duration, fs);
    line += '\t';
    line += IntToStr(pulses);
    line += '\t';
    line += FloatToPlainStr(cost, fs);
    line += '\t';
    return line;
}

TLogLines MergeLogLines(const TLogLines& disk, const TLogLines& ours) {
    TLogLines merged = TLogLines::FromText(disk.FileImage());
    // Usually the other program only added lines after ours.
    const std::string_view mine = ours.FileImage();
    if (disk.FileImage().substr(0, mine.size()) == mine) return merged;
    std::vector<std::string_view> have(disk.size());
    for (size_t i = 0; i < disk.size(); ++i) have[i] = disk[i];
    std::sort(have.begin(), have.end());
    std::vector<std::pair<std::string_view, size_t>> want(ours.size());
    for (size_t i = 0; i < ours.size(); ++i) want[i] = {ours[i], i};
    std::sort(want.begin(), want.end());
    // A line of ours is there when an unmatched equal line of the file is left for it.
    std::vector<size_t> missing;
    size_t h = 0;
    for (const auto& [line, index] : want) {
        while (h < have.size() && have[h] < line) ++h;
        if (h < have.size() && have[h] == line) {
            ++h;
        } else {
            missing.push_back(index);
        }
    }
    std::sort(missing.begin(), missing.end());
    for (const size_t i : missing) merged.Add(ours[i]);
    return merged;
}

TLogLines MissingLogLines(const TLogLines& disk, const TLogLines& ours) {
    const TLogLines merged = MergeLogLines(disk, ours);
    TLogLines missing;
    for (size_t i = disk.size(); i < merged.size(); ++i) missing.Add(merged[i]);
    return missing;
}

namespace {

[[noreturn]] void Unwritable(const std::filesystem::path& file) {
    throw Error("Nie można zapisać pliku " + FullPathText(file));
}

bool WriteWhole(const TLogLines& lines, const std::filesystem::path& file) {
    return kDiskTextIsUtf8
               ? ReplaceFileAtomically(file, lines.FileImage())
               : ReplaceFileAtomically(file, TextToDisk(std::string(lines.FileImage())));
}

// The held file's lines from `offset` to `end`, or nothing when they cannot be read whole.
std::optional<TLogLines> ReadAgain(const HeldFile& file, uint64_t offset, uint64_t end) {
    try {
        std::optional<std::string> bytes = file.Read(offset, end - offset);
        if (!bytes || bytes->size() != end - offset) return std::nullopt;
        return TLogLines::FromText(TextFromDisk(std::move(*bytes)));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

// Where the unsaved lines start in the file's bytes once the lines are written from `base` on,
// after `head`.
std::vector<uint64_t> PlacesOf(const TLogLines& lines, std::string_view head, uint64_t base) {
    const auto diskSize = [](std::string_view text) {
        return kDiskTextIsUtf8 ? text.size() : TextToDisk(std::string(text)).size();
    };
    std::vector<uint64_t> places;
    uint64_t at = base + diskSize(head);
    for (size_t i = lines.Saved; i < lines.size(); ++i) {
        places.push_back(at);
        at += diskSize(lines[i]) + 2;
    }
    return places;
}

// Adds the unsaved lines at the end of a file that cannot be read whole, after a line end of
// its own when its last line lacks one.
bool AppendUnsaved(TLogLines& lines, const std::filesystem::path& file, const FileStamp& now,
                   const LogPlacement& placed) {
    std::string tail;
    if (now.Size > 0) {
        // A file whose last byte cannot even be read cannot be added to either.
        const std::optional<char> last = LastByteOf(file);
        if (!last) return false;
        if (*last != '\n' && *last != '\r') tail = "\r\n";
    }
    if (placed) placed(lines, PlacesOf(lines, tail, now.Size));
    for (size_t i = lines.Saved; i < lines.size(); ++i) {
        tail += lines[i];
        tail += "\r\n";
    }
    if (!kDiskTextIsUtf8) tail = TextToDisk(std::move(tail));
    if (!AppendToFile(file, tail)) return false;
    lines.Saved = lines.size();
    lines.Stamp = StampOf(file);
    return true;
}

}  // namespace

void SaveLog(TLogLines& lines, const std::filesystem::path& file, const LogPlacement& placed) {
    // Held from here on: what another program adds while this save runs is read from it after
    // the replace, or it would go with the file the replace takes away.
    HeldFile held(file);
    const FileStamp now = held.IsOpen() ? held.Stamp() : StampOf(file);
    if (MarkedUnicode(file)) {
        throw Error("Nie można zapisać pliku " + FullPathText(file) +
                    ": zapisano go jako Unicode (ze znacznikiem BOM); zapisz go jako zwykły tekst");
    }
    if (now.Exists && (lines.FileUnread || now != lines.Stamp)) {
        std::optional<TLogLines> disk = held.IsOpen() ? ReadAgain(held, 0, now.Size) : std::nullopt;
        if (!disk) {
            if (!AppendUnsaved(lines, file, now, placed)) Unwritable(file);
            return;
        }
        TLogLines merged = MergeLogLines(*disk, lines);
        // What the file holds now is the start of the merged list, whatever the write does.
        merged.Saved = disk->size();
        merged.Stamp = now;
        lines = std::move(merged);
    }
    if (placed && lines.Unsaved()) {
        const LogLineBatch all = lines.From(0);
        placed(lines, PlacesOf(lines, lines.FileImage().substr(0, all.Starts[lines.Saved]), 0));
    }
    // What another program added to the file since it was read.
    const auto takeAdded = [&] {
        const uint64_t grown = held.IsOpen() ? held.Stamp().Size : 0;
        if (grown <= now.Size) return false;
        const std::optional<TLogLines> added = ReadAgain(held, now.Size, grown);
        if (!added || added->empty()) return false;
        for (size_t i = 0; i < added->size(); ++i) lines.Add((*added)[i]);
        return true;
    };
#ifdef _WIN32
    // Windows cannot replace a file that is held open: what came in so far goes into this write,
    // and the file is let go of.
    takeAdded();
    held.Close();
#endif
    if (!WriteWhole(lines, file)) Unwritable(file);
    // The file now holds exactly these lines, whatever was there before.
    lines.FileUnread = false;
    lines.Saved = lines.size();
    lines.Stamp = StampOf(file);
    // Written again with what came in during the write; what comes in during that one is read
    // after it in turn.
    if (takeAdded()) SaveLog(lines, file, {});
}

}  // namespace tt
