#include "tools/report/report_cli.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "base/files.h"
#include "testing/test_temp_folder.h"
#include "toolkit/gfx/png.h"
#include "tools/report/chart.h"

namespace tt {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int Code = -1;
    std::string Out;
    std::string Err;
};

class ReportCommand : public ::testing::Test {
  protected:
    void WriteLog(const std::string& text) { Write("raport.txt", text); }
    void Write(const std::string& name, const std::string& text) {
        ASSERT_TRUE(ReplaceFileAtomically(folder_ / name, text));
    }
    Outcome Run(std::vector<std::string> args, DateParts today = {2026, 12, 7}) {
        args.push_back("--dir");
        args.push_back(folder_.Path().string());
        args.push_back("--locale");
        args.push_back("yyyy-mm-dd");
        args.push_back("hh:nn:ss");
        args.push_back(",");
        std::ostringstream out, err;
        Outcome o;
        o.Code = RunReport(args, out, err, today);
        o.Out = out.str();
        o.Err = err.str();
        return o;
    }
    std::vector<std::string> FolderNames() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder_.Path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    testing::TempFolder folder_{"tt_report"};
    testing::TempFolder elsewhere_{"tt_report_out"};
};

const std::string kDecember =
    "2026-11-30\t00:12:34\t5\t1,45\t\r\n"
    "2026-12-01\t00:30:00\t10\t2,9\t\r\n"
    "2026-12-01\t01:00:00\t20\t5,8\t\r\n"
    "2026-12-03\t00:05:00\t2\t0,58\t\r\n";

TEST_F(ReportCommand, SummaryAsAnAlignedTableCsvAndJson) {
    WriteLog(kDecember);
    const Outcome text = Run({"summary"});
    EXPECT_EQ(text.Code, 0) << text.Err;
    EXPECT_EQ(text.Out,
              "Period      Connections     Time  Pulses   Cost\n"
              "2026-11-30            1  0:12:34       5   1,45\n"
              "2026-12-01            2  1:30:00      30   8,70\n"
              "2026-12-03            1  0:05:00       2   0,58\n"
              "-----------------------------------------------\n"
              "Total                 4  1:47:34      37  10,73\n");
    EXPECT_EQ(text.Err, "");

    const Outcome csv = Run({"summary", "--by", "month", "--format", "csv"});
    EXPECT_EQ(csv.Code, 0);
    EXPECT_EQ(csv.Out,
              "period,connections,seconds,pulses,cost\n"
              "2026-11,1,754,5,1.45\n"
              "2026-12,3,5700,32,9.28\n");

    const Outcome json = Run({"summary", "--by=year", "--format=json", "--from", "2026-12"});
    EXPECT_EQ(json.Code, 0);
    EXPECT_EQ(json.Out,
              "[\n  {\"period\": \"2026\", \"connections\": 3, \"seconds\": 5700, \"pulses\": 32, "
              "\"cost\": 9.28}\n]\n");

    const Outcome oneDay = Run({"summary", "--from", "2026-12-01", "--to", "2026-12-01"});
    EXPECT_NE(oneDay.Out.find("Total                 2  1:30:00      30  8,70\n"),
              std::string::npos)
        << oneDay.Out;
}

TEST_F(ReportCommand, AThousandCostsOf29GroschenSumToExactly290) {
    std::string log;
    for (int i = 0; i < 1000; ++i) log += "2026-12-01\t00:03:00\t1\t0,29\t\r\n";
    WriteLog(log);
    const Outcome text = Run({"summary"});
    EXPECT_NE(text.Out.find("Total              1000  50:00:00    1000  290,00\n"),
              std::string::npos)
        << text.Out;
    EXPECT_NE(Run({"summary", "--format", "csv"}).Out.find(",1000,290.00\n"), std::string::npos);
}

TEST_F(ReportCommand, ExportListsEveryRecordAndNamesTheLinesItCannotRead) {
    WriteLog(
        "2026-12-01\t00:30:00\t10\t2,9\t\r\n"
        "2026-12-01\t00:30:00\tten\t2,9\t\r\n"
        "01.12.2026\t00:30:00\t10\t2,9\t\r\n"
        "2024-02-29\t00:00:05\t1\t1,5E-5\t\r\n");
    const Outcome csv = Run({"export"});
    EXPECT_EQ(csv.Code, 3);
    EXPECT_EQ(csv.Out,
              "line,date,seconds,pulses,cost\n"
              "1,2026-12-01,1800,10,2.9\n"
              "4,2024-02-29,5,1,0.000015\n");
    const std::string log = FullPathText(folder_ / "raport.txt");
    EXPECT_NE(csv.Err.find(log + ":2: the pulses are not a whole number: "
                                 "2026-12-01\\t00:30:00\\tten\\t2,9\\t\n"),
              std::string::npos)
        << csv.Err;
    EXPECT_NE(csv.Err.find(log + ":3: the date is not in the short date format"),
              std::string::npos);
    EXPECT_NE(csv.Err.find("2 of 4 lines could not be read"), std::string::npos);

    const Outcome json = Run({"export", "--format", "json"});
    EXPECT_EQ(json.Code, 3);
    EXPECT_EQ(json.Out,
              "[\n"
              "  {\"line\": 1, \"date\": \"2026-12-01\", \"seconds\": 1800, \"pulses\": 10, "
              "\"cost\": 2.9},\n"
              "  {\"line\": 4, \"date\": \"2024-02-29\", \"seconds\": 5, \"pulses\": 1, "
              "\"cost\": 0.000015}\n"
              "]\n");
}

TEST_F(ReportCommand, ALogOfAnotherLocaleNeedsItsPatterns) {
    WriteLog("01.12.2026\t0:30:00\t10\t2,9\t\r\n29.02.2024\t0:00:05\t1\t0,29\t\r\n");
    const Outcome polish = Run({"export"});
    EXPECT_EQ(polish.Code, 3);
    EXPECT_EQ(polish.Out, "line,date,seconds,pulses,cost\n");
    // The hint comes before the lines, naming the pattern that was expected.
    EXPECT_EQ(polish.Err.find("taktomat-report: 2 of 2 lines could not be read and are left out "
                              "(dates were expected as yyyy-mm-dd;"),
              0u)
        << polish.Err;

    std::ostringstream out, err;
    const int code = RunReport(
        {"export", "--dir", folder_.Path().string(), "--locale", "dd.mm.yyyy", "h:nn:ss", ","}, out,
        err, DateParts{2026, 12, 7});
    EXPECT_EQ(code, 0) << err.str();
    EXPECT_EQ(out.str(),
              "line,date,seconds,pulses,cost\n"
              "1,2026-12-01,1800,10,2.9\n"
              "2,2024-02-29,5,1,0.29\n");
}

TEST_F(ReportCommand, AnEmptyLogHasNothingToSumAndAMissingOneIsAnError) {
    const Outcome missing = Run({"summary"});
    EXPECT_EQ(missing.Code, 1);
    EXPECT_EQ(missing.Out, "");
    EXPECT_NE(missing.Err.find("there is no log at " + FullPathText(folder_ / "raport.txt")),
              std::string::npos)
        << missing.Err;
    EXPECT_EQ(Run({"forecast"}).Code, 1);

    WriteLog("");
    const Outcome text = Run({"summary"});
    EXPECT_EQ(text.Code, 0);
    EXPECT_NE(text.Out.find("Total"), std::string::npos);
    EXPECT_NE(text.Out.find(" 0:00:00 "), std::string::npos);
    EXPECT_EQ(Run({"summary", "--format", "json"}).Out, "[]\n");
    EXPECT_EQ(Run({"export", "--format", "json"}).Out, "[]\n");
    const Outcome forecast = Run({"forecast"});
    EXPECT_EQ(forecast.Code, 0);
    EXPECT_NE(forecast.Out.find("Limit reached   not this month at this pace"), std::string::npos)
        << forecast.Out;
}

TEST_F(ReportCommand, ForecastAgainstTheLimitOfTheSettings) {
    WriteLog(kDecember);
    Write("taktomat.ini", "[MAX]\r\nMAXIMP_M=100\r\n");
    const Outcome o = Run({"forecast"});
    EXPECT_EQ(o.Code, 0) << o.Err;
    // 32 pulses in 7 days of 31: 4.57 a day, 142 by the 31st; 100 is reached on day 22.
    EXPECT_EQ(o.Out,
              "Month           2026-12 (31 days)\n"
              "So far          7 of 31 days, 3 connections, 32 pulses, cost 9,28\n"
              "Pace            4,57 pulses a day\n"
              "Projected       142 pulses, cost 41,10 by 2026-12-31\n"
              "Month limit     100 pulses (MAXIMP_M)\n"
              "Pulses left     68\n"
              "Limit reached   2026-12-22 at this pace\n");

    // Out of the counter's range the limit is lowered to its maximum, as the program does.
    Write("taktomat.ini", "[MAX]\r\nMAXIMP_M=50000\r\n");
    EXPECT_NE(Run({"forecast"}).Out.find("Month limit     44640 pulses"), std::string::npos);

    Write("taktomat.ini", "[MAX]\r\nMAXIMP_M=4\r\n");
    const Outcome over = Run({"forecast", "--month", "2026-11"});
    EXPECT_NE(over.Out.find("Pulses left     none, 1 over\n"), std::string::npos) << over.Out;
    EXPECT_NE(over.Out.find("Limit reached   2026-11-30 (already)\n"), std::string::npos);
}

TEST_F(ReportCommand, ChartWritesAPictureOfTheMonthButNeverIntoTheProgramFolder) {
    WriteLog(kDecember);
    Write("taktomat.ini", "[MAX]\r\nMAXIMP_M=310\r\n");
    const std::vector<std::string> before = FolderNames();

    const fs::path png = elsewhere_ / "grudzien.png";
    const Outcome o = Run({"chart", "--month", "2026-12", "--output", png.string()});
    ASSERT_EQ(o.Code, 0) << o.Err;
    std::ifstream in(png, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    const Bitmap picture = DecodePng(bytes);
    EXPECT_EQ(picture.Width(), 800);
    EXPECT_EQ(picture.Height(), 460);

    const fs::path svg = elsewhere_ / "grudzien.SVG";
    ASSERT_EQ(Run({"chart", "--month", "2026-12", "--output", svg.string()}).Code, 0);
    std::ifstream svgIn(svg);
    const std::string svgText((std::istreambuf_iterator<char>(svgIn)), {});
    EXPECT_NE(svgText.find("<title>Impulsy dzienne: grudzień 2026</title>"), std::string::npos);

    const Outcome refused = Run({"chart", "--output", (folder_ / "wykres.png").string()});
    EXPECT_EQ(refused.Code, 1);
    EXPECT_NE(refused.Err.find("will not write into the program's folder"), std::string::npos);
    EXPECT_EQ(Run({"chart", "--output", (elsewhere_ / "x.gif").string()}).Code, 2);

    Run({"summary"});
    Run({"export"});
    Run({"forecast"});
    EXPECT_EQ(FolderNames(), before);
}

TEST_F(ReportCommand, CommandLinesItDoesNotUnderstand) {
    WriteLog(kDecember);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"sumary"},
             {"summary", "--month", "2026-12"},
             {"summary", "--by", "week"},
             {"summary", "--from", "2026-13"},
             {"summary", "--from", "2026-12-02", "--to", "2026-12-01"},
             {"summary", "--to"},
             {"export", "--format", "text"},
             {"forecast", "--month", "2026-12-01"},
             {"forecast", "--today", "07.12.2026"},
             {"chart", "--month", "2026-12"},
             {"summary", "export"},
             {"summary", "--verbose"}}) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.Code, 2) << (args.empty() ? "" : args[0]) << " " << o.Err;
        EXPECT_NE(o.Err.find("taktomat-report: "), std::string::npos);
    }
}

TEST_F(ReportCommand, EachCommandHasItsHelp) {
    EXPECT_NE(Run({"--help"}).Out.find("Commands:"), std::string::npos);
    for (const char* command : {"summary", "export", "forecast", "chart"}) {
        const Outcome o = Run({command, "--help"});
        EXPECT_EQ(o.Code, 0);
        EXPECT_EQ(o.Out.rfind(std::string("Usage: taktomat-report ") + command, 0), 0u) << o.Out;
    }
}

TEST(IsoPeriod, DaysMonthsAndYears) {
    int first = 0, last = 0;
    ASSERT_TRUE(ParseIsoPeriod("2024-02", first, last));
    EXPECT_EQ(first, 20240201);
    EXPECT_EQ(last, 20240229);
    ASSERT_TRUE(ParseIsoPeriod("2026", first, last));
    EXPECT_EQ(last, 20261231);
    ASSERT_TRUE(ParseIsoPeriod("2024-02-29", first, last));
    EXPECT_EQ(first, last);
    for (const char* bad : {"2023-02-29", "2026-1", "2026/12", "26-12-07", "2026-12-7", "0000"})
        EXPECT_FALSE(ParseIsoPeriod(bad, first, last)) << bad;
}

}  // namespace
}  // namespace tt
