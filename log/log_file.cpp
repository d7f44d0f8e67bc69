#include "log/log_file.h"

#include <algorithm>
#include <cstring>

#include "base/error.h"
#include "base/files.h"

namespace tt {

void TLogLines::Add(std::string_view line) {
    starts_.push_back(text_.size());
    const size_t at = text_.size();
    text_.append(line);
    std::replace_if(
        text_.begin() + static_cast<std::ptrdiff_t>(at), text_.end(),
        [](char c) { return c == '\r' || c == '\n'; }, ' ');
    text_.append("\r\n");
}

void TLogLines::Clear() {
    text_.clear();
    starts_.clear();
}

size_t TLogLines::TakeCanonicalLines(size_t from, LogLineSink* sink) {
    // Each LF must have its CR just before it, and the next CR must be that one.
    const char* data = text_.data();
    const char* const end = data + text_.size();
    const char* lineStart = data + from;
    const char* nextCr =
        static_cast<const char*>(std::memchr(lineStart, '\r', static_cast<size_t>(end - lineStart)));
    while (lineStart != end) {
        const size_t rest = static_cast<size_t>(end - lineStart);
        const char* lf = static_cast<const char*>(std::memchr(lineStart, '\n', rest));
        if (lf == nullptr || lf == lineStart || nextCr != lf - 1) break;
        starts_.push_back(static_cast<size_t>(lineStart - data));
        if (sink != nullptr) sink->OnLine(std::string_view(lineStart, static_cast<size_t>(nextCr - lineStart)));
        lineStart = lf + 1;
        nextCr = static_cast<const char*>(
            std::memchr(lineStart, '\r', static_cast<size_t>(end - lineStart)));
    }
    return static_cast<size_t>(lineStart - data);
}

TLogLines TLogLines::FromText(std::string text) {
    TLogLines out;
    if (text.empty()) return out;
    if (text.back() != '\n' && text.back() != '\r') text.append("\r\n");
    out.starts_.reserve(text.size() / 24 + 1);

    // The usual file is already in the form we keep (every line ended by CR LF): then the text
    // is taken over as it is and only the line starts are found.
    out.text_ = std::move(text);
    if (out.TakeCanonicalLines(0, nullptr) == out.text_.size()) return out;
    text = std::move(out.text_);
    const char* data = text.data();
    const size_t size = text.size();

    // Mixed or foreign line ends: rebuild line by line.
    out.Clear();
    size_t start = 0;
    for (size_t j = 0; j < size; ++j) {
        if (data[j] != '\r' && data[j] != '\n') continue;
        out.starts_.push_back(out.text_.size());
        out.text_.append(data + start, j - start);
        out.text_.append("\r\n");
        if (data[j] == '\r' && j + 1 < size && data[j + 1] == '\n') ++j;
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
    std::string text;
    if constexpr (kDiskTextIsUtf8) {
        // Read in pieces and take each piece's lines while it is in the cache: on a big log
        // this saves two trips through memory over reading first and splitting after.
        ReadChunks reader(file);
        if (!reader.Open()) return unreadable();
        lines.text_.reserve(reader.SizeHint() + 2);
        lines.starts_.reserve(reader.SizeHint() / 24 + 1);
        size_t scanned = 0;
        bool canonical = true;
        for (;;) {
            const std::optional<std::string_view> piece = reader.Next();
            if (!piece) return unreadable();
            if (piece->empty()) break;
            const size_t before = lines.text_.size();
            lines.text_.append(*piece);
            // Without an LF the piece ends no line, and a long line is not walked again.
            if (canonical && std::memchr(piece->data(), '\n', piece->size()) != nullptr) {
                scanned = lines.TakeCanonicalLines(scanned, sink);
            }
            if (canonical) {
                // A piece may end inside a line (or between its CR and LF); only a stray line
                // end stops the fast way. What lies before this piece was looked at already.
                const size_t from = std::max(scanned, before == 0 ? 0 : before - 1);
                const std::string_view rest = std::string_view(lines.text_).substr(from);
                const size_t mark = rest.find_first_of("\r\n");
                canonical = mark == std::string_view::npos ||
                            (rest[mark] == '\r' && mark + 1 == rest.size());
            }
        }
        visited = lines.starts_.size();
        if (canonical && scanned == lines.text_.size()) return true;
        // The last line lacks its end, or the file has foreign line ends: the slow way picks
        // up after the lines already taken, which it cuts the same.
        text = std::move(lines.text_);
    } else {
        std::optional<std::string> bytes = ReadWholeFile(file);
        if (!bytes) return unreadable();
        text = TextFromDisk(std::move(*bytes));
    }
    lines = TLogLines::FromText(std::move(text));
    if (sink != nullptr) {
        for (size_t i = visited; i < lines.size(); ++i) sink->OnLine(lines[i]);
    }
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
