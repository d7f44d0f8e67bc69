#include "log/log_file.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <fstream>

#include <functional>

#include "testing/test_temp_folder.h"
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "base/error.h"
#include "base/files.h"

namespace tt {
namespace {

namespace fs = std::filesystem;

const FormatSettings kPolish = MakeFormatSettings("yyyy-mm-dd", "hh:mm:ss", ',');

std::vector<std::string> All(const TLogLines& lines) {
    std::vector<std::string> out;
    for (size_t i = 0; i < lines.size(); ++i) out.emplace_back(lines[i]);
    return out;
}

TEST(SplitField, FieldsAndTheirEdges) {
    EXPECT_EQ(SplitField("a\tb\t", 1), "b");
    EXPECT_EQ(SplitField("a\tb", 1), "b");
    EXPECT_EQ(SplitField("a\t\tc", 1), "");
    EXPECT_EQ(SplitField("a\t\tc", 2), "c");
    EXPECT_EQ(SplitField("abc", 0), "abc");
    EXPECT_EQ(SplitField("", 0), "");
    EXPECT_EQ(SplitField("a\tb\t", 2), "");  // the final TAB opens no field
    EXPECT_EQ(SplitField("a\tb", 7), "");
    EXPECT_EQ(SplitField("a\tb", -1), "");
}

TEST(LogLines, LineEndsOfEveryKindAndKeptBytes) {
    const std::string binary("x\0\xff\t", 4);
    TLogLines lines = TLogLines::FromText("one\r\ntwo\rthree\n\r\n\n" + binary + "\r\nlast");
    EXPECT_EQ(All(lines),
              (std::vector<std::string>{"one", "two", "three", "", "", binary, "last"}));
    EXPECT_EQ(lines.FileImage(), "one\r\ntwo\r\nthree\r\n\r\n\r\n" + binary + "\r\nlast\r\n");

    // The usual file is taken over as it is.
    const TLogLines usual = TLogLines::FromText("a\tb\t\r\n\r\nc\r\n");
    EXPECT_EQ(All(usual), (std::vector<std::string>{"a\tb\t", "", "c"}));
    EXPECT_EQ(TLogLines::FromText("").size(), 0u);
    EXPECT_EQ(All(TLogLines::FromText("a\r")), (std::vector<std::string>{"a"}));
    EXPECT_EQ(All(TLogLines::FromText("\n")), (std::vector<std::string>{""}));

    lines.Add("bad\r\nline");
    EXPECT_EQ(lines[lines.size() - 1], "bad  line");
}

TEST(LogRecord, TextOfARecord) {
    const TDateTime day = EncodeDate(2000, 12, 31);
    EXPECT_EQ(FormatRecord(day, EncodeTime(0, 12, 34), 5, 5 * 0.29L, kPolish),
              "2000-12-31\t00:12:34\t5\t1,45\t");
    // The duration keeps only the time within a day; whole costs have no separator.
    EXPECT_EQ(FormatRecord(day, 1.0 + EncodeTime(0, 0, 5), 481, 12, kPolish),
              "2000-12-31\t00:00:05\t481\t12\t");
    EXPECT_EQ(FormatRecord(day, 0, 0, 0, kPolish), "2000-12-31\t00:00:00\t0\t0\t");
}

class LogFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = folder_.Path();
        file_ = dir_ / "raport.txt";
    }
    testing::TempFolder folder_;
    fs::path dir_;
    fs::path file_;
};

TEST_F(LogFileTest, AppendsKeepEverythingInOrder) {
    TLogLines lines;
    EXPECT_FALSE(LoadLog(file_, lines));
    ASSERT_TRUE(ReplaceFileAtomically(file_, "old\tline\r\njunk\n"));
    ASSERT_TRUE(LoadLog(file_, lines));
    const TDateTime day = EncodeDate(2001, 1, 2);
    for (int i = 1; i <= 3; ++i) {
        lines.Add(FormatRecord(day, EncodeTime(0, i, 0), i, i, kPolish));
        SaveLog(lines, file_);
    }
    EXPECT_EQ(ReadWholeFile(file_),
              "old\tline\r\njunk\r\n2001-01-02\t00:01:00\t1\t1\t\r\n"
              "2001-01-02\t00:02:00\t2\t2\t\r\n2001-01-02\t00:03:00\t3\t3\t\r\n");
    // A file deleted during the run comes back whole with the next record.
    fs::remove(file_);
    lines.Add(FormatRecord(day, 0, 4, 4, kPolish));
    SaveLog(lines, file_);
    TLogLines again;
    ASSERT_TRUE(LoadLog(file_, again));
    EXPECT_EQ(All(again), All(lines));
    EXPECT_EQ(again.size(), 6u);
}

// Saves around which the file changes, or cannot be read or written: each ends with every line
// once, ours last, none glued to another.
TEST_F(LogFileTest, SavesKeepEveryLineOnceWhenTheFileChangesOrFails) {
    const auto append = [&](const std::string& text) {
        std::ofstream(file_, std::ios::binary | std::ios::app) << text;
    };
    struct Case {
        const char* name;
        std::string before;
        // Another program's doing, and the faults, at each file step.
        std::function<int(FileStep)> during;
        std::string after;
    };
    bool once = true;
    const std::vector<Case> cases = {
        // Windows cannot replace a file held open: there the lines that came in are taken
        // just before the replace (after the places of ours are told), and one added during
        // the rename itself is not seen.
        {"a line added while the save runs", "X\r\n",
         [&](FileStep step) {
             if (step == FileStep::Rename && once && kDiskTextIsUtf8) {
                 append("Y\r\n");
                 once = false;
             }
             return 0;
         },
         "X\r\nR\r\nY\r\n"},
        {"a file that cannot be read whole, its last line without an end", "X",
         [](FileStep step) { return step == FileStep::Read ? ENOMEM : 0; }, "X\r\nR\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        once = true;
        ASSERT_TRUE(ReplaceFileAtomically(file_, c.before));
        TLogLines lines;
        LoadLog(file_, lines);
        SetFileFaultHook([&](FileStep step, const fs::path&) { return c.during(step); });
        lines.Add("R");
        SaveLog(lines, file_, [&](const TLogLines&, const std::vector<uint64_t>&) {
            if (!kDiskTextIsUtf8 && once && &c == &cases[0]) {
                append("Y\r\n");
                once = false;
            }
        });
        SetFileFaultHook(nullptr);
        EXPECT_EQ(ReadWholeFile(file_), c.after);
    }
    // Two appends in one run to a file that cannot be read: the second adds only its own.
    SetFileFaultHook(
        [](FileStep step, const fs::path&) { return step == FileStep::Read ? ENOMEM : 0; });
    TLogLines lines;
    lines.FileUnread = true;
    ASSERT_TRUE(ReplaceFileAtomically(file_, "X\r\n"));
    lines.Add("R1");
    SaveLog(lines, file_);
    lines.Add("R2");
    SaveLog(lines, file_);
    SetFileFaultHook(nullptr);
    EXPECT_EQ(ReadWholeFile(file_), "X\r\nR1\r\nR2\r\n");
    // A write that fails after another program changed the file leaves our record unsaved, so
    // that the next save and the end of the run still have it.
    lines = TLogLines{};
    ASSERT_TRUE(ReplaceFileAtomically(file_, "X\r\n"));
    LoadLog(file_, lines);
    append("Y\r\n");
    lines.Add("R");
    SetFileFaultHook(
        [](FileStep step, const fs::path&) { return step == FileStep::Rename ? ENOSPC : 0; });
    EXPECT_THROW(SaveLog(lines, file_), Error);
    SetFileFaultHook(nullptr);
    EXPECT_TRUE(lines.Unsaved());
    SaveLog(lines, file_);
    EXPECT_EQ(ReadWholeFile(file_), "X\r\nY\r\nR\r\n");
    // A log an editor saved as Unicode is neither read nor added to in another encoding.
    for (const std::string mark : {"\xEF\xBB\xBF", "\xFF\xFE"}) {
        const std::string unicode = mark + "X\r\n";
        ASSERT_TRUE(ReplaceFileAtomically(file_, unicode));
        lines = TLogLines{};
        EXPECT_FALSE(LoadLog(file_, lines));
        EXPECT_TRUE(lines.FileUnread);
        lines.Add("R");
        EXPECT_THROW(SaveLog(lines, file_), Error);
        EXPECT_EQ(ReadWholeFile(file_), unicode);
    }
}

struct CollectingSink : LogLineSink {
    void OnLines(const tt::LogLineBatch& lines) override {
        for (size_t i = 0; i < lines.size(); ++i) seen.emplace_back(lines[i]);
    }
    std::vector<std::string> seen;
};

TEST_F(LogFileTest, LoadingInPiecesCutsLinesAsTheWholeText) {
    // Lines of many lengths put the piece boundaries (every 256 KiB) everywhere in a line,
    // between its CR and LF included; then the same with faults late in the file.
    std::string canonical;
    for (int i = 0; canonical.size() < 700'000; ++i) {
        canonical += std::string(static_cast<size_t>(i % 61), static_cast<char>('a' + i % 26));
        canonical += "\t" + std::to_string(i) + "\t\r\n";
    }
    const std::string variants[] = {
        canonical,
        canonical.substr(0, canonical.size() - 2),  // no end on the last line
        canonical.substr(0, canonical.size() - 1),  // a lone CR at the very end
        canonical.substr(0, 600'000) + "\n" + canonical.substr(600'000),  // a stray LF
        canonical.substr(0, 262'143) + "\r" + canonical.substr(262'143),  // a stray CR
        std::string(300'000, 'x') + "\r\n" + canonical,  // one line over a boundary
        "",
    };
    for (const std::string& text : variants) {
        ASSERT_TRUE(ReplaceFileAtomically(file_, text));
        TLogLines lines;
        CollectingSink sink;
        ASSERT_TRUE(LoadLog(file_, lines, &sink));
        const TLogLines expected = TLogLines::FromText(text);
        ASSERT_EQ(All(lines), All(expected)) << text.size();
        EXPECT_EQ(sink.seen, All(expected)) << text.size();
        EXPECT_EQ(lines.FileImage(), expected.FileImage());
    }
}

TEST_F(LogFileTest, FailedWriteKeepsTheRecordOnceAndTheOldFile) {
    ASSERT_TRUE(ReplaceFileAtomically(file_, "first\r\n"));
    TLogLines lines;
    ASSERT_TRUE(LoadLog(file_, lines));
    // A folder where the temporary file would go makes every write fail.
    const fs::path blocked = dir_ / "gone" / "raport.txt";
    lines.Add(FormatRecord(1, 0, 1, 1, kPolish));
    EXPECT_THROW(SaveLog(lines, blocked), Error);
    try {
        SaveLog(lines, blocked);
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Nie można zapisać pliku " + blocked.string());
    }
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ(ReadWholeFile(file_), "first\r\n");
    lines.Add(FormatRecord(1, 0, 2, 2, kPolish));
    SaveLog(lines, file_);
    EXPECT_EQ(ReadWholeFile(file_),
              "first\r\n1899-12-31\t00:00:00\t1\t1\t\r\n1899-12-31\t00:00:00\t2\t2\t\r\n");
}

TEST_F(LogFileTest, FileUnreadableAtStartIsNeverReplacedBlindly) {
    // A folder in the file's place stands for a file another program holds locked.
    fs::create_directories(file_);
    TLogLines lines;
    EXPECT_FALSE(LoadLog(file_, lines));
    EXPECT_TRUE(lines.FileUnread);
    lines.Add(FormatRecord(1, 0, 1, 1, kPolish));
    EXPECT_THROW(SaveLog(lines, file_), Error);
    EXPECT_EQ(lines.size(), 1u);
    // Freed later: its lines come first, then this run's records.
    fs::remove(file_);
    ASSERT_TRUE(ReplaceFileAtomically(file_, "from before\r\n"));
    lines.Add(FormatRecord(1, 0, 2, 2, kPolish));
    SaveLog(lines, file_);
    EXPECT_EQ(ReadWholeFile(file_),
              "from before\r\n1899-12-31\t00:00:00\t1\t1\t\r\n"
              "1899-12-31\t00:00:00\t2\t2\t\r\n");
    EXPECT_FALSE(lines.FileUnread);
}

#ifndef _WIN32
TEST_F(LogFileTest, AFifoInPlaceOfTheFileDoesNotHang) {
    ASSERT_EQ(mkfifo(file_.c_str(), 0600), 0);
    TLogLines lines;
    EXPECT_FALSE(LoadLog(file_, lines));
    EXPECT_TRUE(lines.FileUnread);
}
#endif

// Lines another program added are kept, lines of ours it lacks follow them in our order, and a
// line that both hold (also twice) is held that often, never more.
TEST(LogFile, MergeKeepsBothSidesLinesOnce) {
    const TLogLines disk = TLogLines::FromText("a\r\nb\r\nx\r\nb\r\n");
    const TLogLines ours = TLogLines::FromText("a\r\nb\r\nb\r\nb\r\nc\r\n");
    EXPECT_EQ(MergeLogLines(disk, ours).FileImage(), "a\r\nb\r\nx\r\nb\r\nb\r\nc\r\n");
    // Only added after ours: the file as it is.
    const TLogLines longer = TLogLines::FromText("a\r\nb\r\nb\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(MergeLogLines(longer, ours).FileImage(), longer.FileImage());
    // The missing records follow in date order, which their text does not sort to.
    const TLogLines year = TLogLines::FromText(
        "31-12-2025 23:50:00\t0:10:00\t2\t0,58\t\r\n"
        "01-01-2026 00:10:00\t0:05:00\t1\t0,29\t\r\n");
    EXPECT_EQ(MergeLogLines(disk, year).FileImage(),
              std::string(disk.FileImage()) + std::string(year.FileImage()));
}

TEST(LogFile, ALogReplacedByAFolderIsKeptAndWrittenWholeOnceItIsGone) {
    const testing::TempFolder folder;
    const fs::path file = folder / "raport.txt";
    TLogLines lines;
    lines.Add("one\t");
    SaveLog(lines, file);
    fs::remove(file);
    fs::create_directories(file / "inside");
    lines.Add("two\t");
    EXPECT_THROW(SaveLog(lines, file), Error);
    EXPECT_TRUE(lines.Unsaved());
    fs::remove_all(file);
    SaveLog(lines, file);
    EXPECT_EQ(ReadWholeFile(file), "one\t\r\ntwo\t\r\n");
}

}  // namespace
}  // namespace tt
