#include "log/log_keeper.h"

#include <exception>
#include <system_error>

namespace tt {

TLogKeeper::TLogKeeper(std::filesystem::path log, std::filesystem::path secondPlace)
    : log_(std::move(log)), secondPlace_(std::move(secondPlace)) {}

void TLogKeeper::Load(LogLineSink* sink) {
    RemoveStaleTemporaries(log_);
    lines_.Clear();
    LoadLog(log_, lines_, sink);
}

bool TLogKeeper::Save(std::string& error) {
    try {
        SaveLog(lines_, log_);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

void TLogKeeper::TakeBack() {
    TLogLines kept;
    if (secondPlace_.empty() || !LoadLog(secondPlace_, kept) || kept.FileUnread) return;
    // Those the log already holds (copied there by hand, say) are not added twice.
    const TLogLines missing = MissingLogLines(lines_, kept);
    for (size_t i = 0; i < missing.size(); ++i) lines_.Add(missing[i]);
    // Until the log on disk holds them the records wait in memory as any unsaved record does,
    // and the next save takes them.
    std::string error;
    if (lines_.Unsaved() && !Save(error)) return;
    std::error_code ec;
    std::filesystem::remove(secondPlace_, ec);
}

std::string TLogKeeper::Finish() {
    std::string error;
    if (!lines_.Unsaved() || Save(error)) return {};
    // Taken back at start, the second place's records are among the unsaved ones again: it
    // gets only those it lacks.
    TLogLines pending;
    for (size_t i = lines_.Saved; i < lines_.size(); ++i) pending.Add(lines_[i]);
    TLogLines there;
    if (secondPlace_.empty() || !LoadLog(secondPlace_, there) || there.FileUnread) there.Clear();
    const std::string unsaved(MissingLogLines(there, pending).FileImage());
    const size_t count = pending.size();
    std::error_code ec;
    if (!secondPlace_.empty()) std::filesystem::create_directories(secondPlace_.parent_path(), ec);
    std::string text = "Unable to write to " + FullPathText(log_) + ". ";
    if (!secondPlace_.empty() && AppendToFile(secondPlace_, TextToDisk(unsaved))) {
        lines_.Saved = lines_.size();
        text += std::to_string(count) + (count == 1 ? " record was" : " records were") +
                " written to " + FullPathText(secondPlace_) + " instead";
    } else {
        text += std::to_string(count) + (count == 1 ? " record" : " records") +
                " could not be written anywhere:\n" + std::string(pending.FileImage());
    }
    return text;
}

}  // namespace tt
