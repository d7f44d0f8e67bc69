#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/journal_file.h"
#include "log/log_file.h"

namespace tt {

// Keeps every record until the log on disk holds it, and no record twice. Each record is in the
// second place, a journal flushed to the disk, before anybody is told it is kept: the running
// connection as it stands at its start and at every pulse, a finished connection's record as
// it is made, and before every save the place in the log where the record is about to go. So
// after a crash at any step the next start knows, record by record, whether the log holds it
// (its bytes at that place) and adds only those it lacks, even when another record reads the
// same. The second place is emptied once the log holds all of it and no connection runs.
class TLogKeeper {
  public:
    // `log` is "raport.txt"; `secondPlace` the journal of this log (empty: there is none).
    TLogKeeper(std::filesystem::path log, std::filesystem::path secondPlace);

    const std::filesystem::path& LogPath() const { return log_; }
    const std::filesystem::path& SecondPlace() const { return secondPlace_; }
    const TLogLines& Lines() const { return lines_; }
    // Records wait that the log on disk does not hold yet.
    bool Unsaved() const { return lines_.Unsaved(); }
    // Whether the second place could be opened at start (a private folder of this user).
    bool HasSecondPlace() const { return journal_.IsOpen(); }

    // Reads the log anew, handing each line to `sink`; what a crash left of earlier writes is
    // removed first (only this copy writes here: the folder lock).
    void Load(LogLineSink* sink);
    // Opens the second place and takes back what it keeps: records an earlier run could not
    // write, and the record of a connection that a hard end cut off, up to its last pulse.
    void TakeBack();
    // The running connection's record as it would read if the connection ended now.
    void Running(std::string_view record);
    // The running connection ended without a record (a dial that failed).
    void ForgetRunning();
    // A finished connection's record (the running one's, when one runs); it waits for the
    // next save.
    void Add(std::string_view record);
    // False, with `error` set, when the log cannot be written: the records wait for the next.
    bool Save(std::string& error);
    // The last save of the run. Returns what the user must be told when records still wait:
    // where they are kept, or that they could not be kept anywhere.
    std::string Finish();

    // The records a second place keeps for its log, as its take-back would add them when the
    // log holds none of them.
    static std::vector<std::string> KeptRecords(const std::filesystem::path& secondPlace);

  private:
    struct Pending {
        std::string Id;
        std::string Text;
        bool Kept = false;  // in the second place
    };
    bool Journal(const std::string& entry);
    std::vector<std::string> LiveEntries() const;
    std::string NewId();
    // Whether the log holds `text` at `offset`; nothing when that cannot be read.
    std::optional<bool> HoldsAt(uint64_t offset, const std::string& text) const;
    void Placed(const TLogLines& lines, const std::vector<uint64_t>& offsets);
    void Settled();

    std::filesystem::path log_;
    std::filesystem::path secondPlace_;
    TLogLines lines_;
    JournalFile journal_;
    std::vector<Pending> pending_;
    std::string runningId_;
    // Entries whose record could not be checked against the log at start: they stay.
    bool deferred_ = false;
    uint64_t nextId_ = 0;
};

}  // namespace tt
