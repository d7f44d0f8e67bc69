#pragma once
#include <filesystem>
#include <string>

#include "log/log_file.h"

namespace tt {

// Keeps every record of the run until the log on disk holds it: the in-memory log, its saves,
// the second place for what cannot be written when the program ends, and the take-back of
// that second place at the next start. No record is dropped on any path: a failed save leaves
// it unsaved for the next one.
class TLogKeeper {
  public:
    // `log` is "raport.txt"; `secondPlace` the file of this log's records that could not be
    // written (empty: there is none).
    TLogKeeper(std::filesystem::path log, std::filesystem::path secondPlace);

    const std::filesystem::path& LogPath() const { return log_; }
    const std::filesystem::path& SecondPlace() const { return secondPlace_; }
    const TLogLines& Lines() const { return lines_; }
    // Records wait that the log on disk does not hold yet.
    bool Unsaved() const { return lines_.Unsaved(); }

    // Reads the log anew, handing each line to `sink`; what a crash left of earlier writes is
    // removed first (only this copy writes here: the folder lock).
    void Load(LogLineSink* sink);
    // What an earlier run put in the second place goes into the log, less what the log holds
    // already; the second place is emptied only once the log on disk holds all of it.
    void TakeBack();
    // A record waits in memory for the next save.
    void Add(std::string_view record) { lines_.Add(record); }
    // False, with `error` set, when the log cannot be written: the records wait for the next.
    bool Save(std::string& error);
    // The last save of the run; what still cannot be written goes to the second place, less
    // what it holds already. Returns what the user must be told, or nothing.
    std::string Finish();

  private:
    std::filesystem::path log_;
    std::filesystem::path secondPlace_;
    TLogLines lines_;
};

}  // namespace tt
