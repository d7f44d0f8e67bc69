#include "log/log_file.h"

#include <algorithm>
#include <cstdint>

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

bool LoadLog(const std::filesystem::path& file, TLogLines& lines, LogLineSink* sink) {
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
    line += TimeToStr(duration, fs);
    line += '\t';
    line += IntToStr(pulses);
    line += '\t';
    line += FloatToStr(cost, fs);
    line += '\t';
    return line;
}

void SaveLog(TLogLines& lines, const std::filesystem::path& file) {
    if (lines.FileUnread) {
        std::error_code ec;
        const bool exists = std::filesystem::exists(file, ec);
        if (exists || ec) {
            std::optional<std::string> bytes = ReadWholeFile(file);
            if (!bytes) throw Error("Unable to write to " + FullPathText(file));
            TLogLines merged = TLogLines::FromText(TextFromDisk(std::move(*bytes)));
            for (size_t i = 0; i < lines.size(); ++i) merged.Add(lines[i]);
            lines = std::move(merged);
        }
        lines.FileUnread = false;
    }
    const bool ok = kDiskTextIsUtf8
                        ? ReplaceFileAtomically(file, lines.FileImage())
                        : ReplaceFileAtomically(file, TextToDisk(std::string(lines.FileImage())));
    if (!ok) throw Error("Unable to write to " + FullPathText(file));
}

void AppendRecord(TLogLines& lines, const std::filesystem::path& file, TDateTime date,
                  TDateTime duration, int pulses, long double cost, const FormatSettings& fs) {
    lines.Add(FormatRecord(date, duration, pulses, cost, fs));
    SaveLog(lines, file);
}

}  // namespace tt
