#include "log/log_keeper.h"

#include <chrono>
#include <exception>
#include <map>
#include <optional>
#include <random>
#include <system_error>

namespace tt {

namespace {

// An entry of the second place: "R id offset text" a finished record (offset "-" until a save
// places it), "P id text" the running connection as it stands, "D id" the log holds it or it
// is gone. The last entry of an id is what counts. "F -" says that the plain lines an earlier
// version left before the entries have become entries.
struct Entry {
    char Kind = 0;
    std::string Id;
    std::optional<uint64_t> Offset;
    std::string Text;
};

std::optional<Entry> ParseEntry(std::string_view line) {
    Entry e;
    if (line.size() < 3 || line[1] != ' ') return std::nullopt;
    e.Kind = line[0];
    line.remove_prefix(2);
    const size_t idEnd = line.find(' ');
    e.Id = std::string(line.substr(0, idEnd));
    if (e.Id.empty()) return std::nullopt;
    if (e.Kind == 'D' || e.Kind == 'F') {
        return idEnd == std::string_view::npos ? std::optional<Entry>(e) : std::nullopt;
    }
    if (idEnd == std::string_view::npos) return std::nullopt;
    line.remove_prefix(idEnd + 1);
    if (e.Kind == 'R') {
        const size_t offsetEnd = line.find(' ');
        if (offsetEnd == std::string_view::npos) return std::nullopt;
        const std::string_view offset = line.substr(0, offsetEnd);
        if (offset != "-") {
            uint64_t v = 0;
            for (const char c : offset) {
                if (c < '0' || c > '9') return std::nullopt;
                v = v * 10 + static_cast<uint64_t>(c - '0');
            }
            e.Offset = v;
        }
        line.remove_prefix(offsetEnd + 1);
    } else if (e.Kind != 'P') {
        return std::nullopt;
    }
    e.Text = std::string(line);
    return e;
}

// The last entry of every id that is not settled, in the order the ids first came.
std::vector<Entry> Live(const std::vector<std::string>& entries) {
    std::vector<std::string> order;
    std::map<std::string, Entry> last;
    for (const std::string& line : entries) {
        std::optional<Entry> e = ParseEntry(line);
        if (!e || e->Kind == 'F') continue;
        if (!last.count(e->Id)) order.push_back(e->Id);
        last[e->Id] = std::move(*e);
    }
    std::vector<Entry> live;
    for (const std::string& id : order) {
        if (last[id].Kind != 'D') live.push_back(std::move(last[id]));
    }
    return live;
}

bool PlainLinesTaken(const std::vector<std::string>& entries) {
    for (const std::string& line : entries) {
        if (line == "F -") return true;
    }
    return false;
}

std::string Format(const Entry& e) {
    switch (e.Kind) {
        case 'R':
            return "R " + e.Id + " " + (e.Offset ? std::to_string(*e.Offset) : "-") + " " + e.Text;
        case 'P':
            return "P " + e.Id + " " + e.Text;
        default:
            return "D " + e.Id;
    }
}

}  // namespace

TLogKeeper::TLogKeeper(std::filesystem::path log, std::filesystem::path secondPlace)
    : log_(std::move(log)), secondPlace_(std::move(secondPlace)) {
    // Ids tell this run's records from an earlier run's in the same second place.
    std::random_device random;
    nextId_ = (uint64_t{random()} << 32) ^ random() ^
              static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

std::string TLogKeeper::NewId() {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(nextId_++));
    return text;
}

bool TLogKeeper::Journal(const std::string& entry) {
    return journal_.IsOpen() && journal_.Append(entry, [this] { return LiveEntries(); });
}

std::vector<std::string> TLogKeeper::LiveEntries() const {
    std::vector<std::string> live;
    for (const Entry& e : Live(journal_.Entries())) live.push_back(Format(e));
    return live;
}

void TLogKeeper::Load(LogLineSink* sink) {
    RemoveStaleTemporaries(log_);
    lines_.Clear();
    pending_.clear();
    LoadLog(log_, lines_, sink);
}

std::optional<bool> TLogKeeper::HoldsAt(uint64_t offset, const std::string& text) const {
    const std::string bytes = TextToDisk(text) + "\r\n";
    const std::optional<std::string> there = ReadFileRange(log_, offset, bytes.size());
    if (!there) return std::nullopt;
    return *there == bytes;
}

void TLogKeeper::TakeBack() {
    if (secondPlace_.empty() || !journal_.Open(secondPlace_)) return;
    deferred_ = false;
    const std::vector<Entry> live = Live(journal_.Entries());
    // An earlier version kept plain lines there: those the log already holds (copied there by
    // hand, say) are not added twice.
    if (!journal_.Foreign().empty() && !PlainLinesTaken(journal_.Entries())) {
        TLogLines plain;
        for (const std::string& line : journal_.Foreign()) plain.Add(line);
        const TLogLines missing = MissingLogLines(lines_, plain);
        for (size_t i = 0; i < missing.size(); ++i) Add(missing[i]);
        // From here on the entries stand for them, all or none.
        Journal("F -");
    }
    for (const Entry& e : live) {
        if (e.Kind == 'R' && e.Offset) {
            const std::optional<bool> holds = HoldsAt(*e.Offset, e.Text);
            if (!holds) {
                deferred_ = true;  // decided at a start that can read the log
                continue;
            }
            if (*holds) continue;
        }
        // A record never written, or the last state of a connection the program did not see
        // end: the log gets it now, under the same id.
        lines_.Add(e.Text);
        pending_.push_back({e.Id, e.Text, true});
    }
    std::string error;
    if (Unsaved()) {
        Save(error);
    } else if (!deferred_ && (!journal_.Entries().empty() || !journal_.Foreign().empty())) {
        journal_.Clear();
    }
}

void TLogKeeper::Running(std::string_view record) {
    if (runningId_.empty()) runningId_ = NewId();
    Journal(Format(Entry{'P', runningId_, std::nullopt, std::string(record)}));
}

void TLogKeeper::ForgetRunning() {
    if (runningId_.empty()) return;
    Journal("D " + runningId_);
    runningId_.clear();
    if (pending_.empty() && !deferred_ && journal_.IsOpen()) journal_.Clear();
}

void TLogKeeper::Add(std::string_view record) {
    std::string id = runningId_.empty() ? NewId() : runningId_;
    runningId_.clear();
    Pending p{std::move(id), std::string(record), false};
    // Kept before anybody can be told so: from here a crash cannot lose it.
    p.Kept = Journal(Format(Entry{'R', p.Id, std::nullopt, p.Text}));
    lines_.Add(record);
    pending_.push_back(std::move(p));
}

void TLogKeeper::Placed(const TLogLines& lines, const std::vector<uint64_t>& offsets) {
    // The unsaved lines keep the order of the records; a merge may only have left some out.
    size_t next = 0;
    for (size_t i = lines.Saved, k = 0; i < lines.size() && k < offsets.size(); ++i, ++k) {
        size_t j = next;
        while (j < pending_.size() && pending_[j].Text != lines[i]) ++j;
        if (j == pending_.size()) continue;
        Pending& p = pending_[j];
        p.Kept = Journal(Format(Entry{'R', p.Id, offsets[k], p.Text})) || p.Kept;
        next = j + 1;
    }
}

void TLogKeeper::Settled() {
    if (pending_.empty()) return;
    if (runningId_.empty() && !deferred_) {
        if (journal_.IsOpen()) journal_.Clear();
    } else {
        for (const Pending& p : pending_) Journal("D " + p.Id);
    }
    pending_.clear();
}

bool TLogKeeper::Save(std::string& error) {
    try {
        SaveLog(lines_, log_, [this](const TLogLines& lines, const std::vector<uint64_t>& offsets) {
            Placed(lines, offsets);
        });
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    Settled();
    return true;
}

std::string TLogKeeper::Finish() {
    std::string error;
    if (!Unsaved() || Save(error)) return {};
    std::vector<std::string> lost;
    for (const Pending& p : pending_) {
        if (!p.Kept) lost.push_back(p.Text);
    }
    const size_t count = pending_.size();
    std::string text = "Nie można zapisać pliku " + FullPathText(log_) + ". ";
    if (lost.empty()) {
        text += "Zapisy połączeń (" + std::to_string(count) + ") zachowano zamiast tego w pliku " +
                FullPathText(secondPlace_) + "; następne uruchomienie dopisze je do dziennika.";
    } else {
        text += "Tych zapisów połączeń (" + std::to_string(lost.size()) +
                ") nie udało się nigdzie zachować:\n";
        for (const std::string& line : lost) text += line + "\r\n";
    }
    return text;
}

std::vector<std::string> TLogKeeper::KeptRecords(const std::filesystem::path& secondPlace) {
    std::vector<std::string> entries;
    std::vector<std::string> records;
    const std::optional<std::string> bytes = ReadWholeFile(secondPlace);
    if (!bytes) return records;
    ParseJournal(*bytes, entries, records);
    if (PlainLinesTaken(entries)) records.clear();
    for (const Entry& e : Live(entries)) records.push_back(e.Text);
    return records;
}

}  // namespace tt
