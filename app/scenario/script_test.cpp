#include "app/scenario/script.h"

#include <gtest/gtest.h>

namespace tt::scenario {
namespace {

using Words = std::vector<std::string>;

int ErrorLine(std::string_view text) {
    try {
        ParseScript(text);
    } catch (const ScriptError& e) {
        return e.Line();
    }
    return 0;
}

TEST(SplitWords, BlanksCommentsAndQuotes) {
    EXPECT_EQ(SplitWords("  tick\t 5  ", 1), (Words{"tick", "5"}));
    EXPECT_EQ(SplitWords("expect a.b 3 # not 4", 1), (Words{"expect", "a.b", "3"}));
    EXPECT_EQ(SplitWords("# only a comment", 1), Words{});
    // Inside quotes a hash and blanks are text; an empty pair of quotes is an empty word.
    EXPECT_EQ(SplitWords(R"(file a "x # y  z" "")", 1), (Words{"file", "a", "x # y  z", ""}));
    // A hash glued to a word is part of it: only a word that starts with it opens a comment.
    EXPECT_EQ(SplitWords("host a#b", 1), (Words{"host", "a#b"}));
    EXPECT_EQ(SplitWords("a\r", 1), Words{"a"});
}

TEST(SplitWords, Escapes) {
    EXPECT_EQ(SplitWords(R"(x "a\tb\rc\nd\"e\\f")", 1), (Words{"x", "a\tb\rc\nd\"e\\f"}));
    // Outside quotes a backslash is an ordinary character (Windows-like paths stay as typed).
    EXPECT_EQ(SplitWords(R"(x a\nb)", 1), (Words{"x", R"(a\nb)"}));
}

TEST(SplitWords, MalformedQuotesAreScriptErrors) {
    EXPECT_THROW(SplitWords(R"(x "open)", 1), ScriptError);
    EXPECT_THROW(SplitWords(R"(x "ends in backslash\)", 1), ScriptError);
    EXPECT_THROW(SplitWords(R"(x "\q")", 1), ScriptError);
    EXPECT_THROW(SplitWords(R"(x "a"b)", 1), ScriptError);
}

TEST(ParseScript, KeepsLineNumbersAcrossBlankAndCommentLines) {
    const auto script = ParseScript("# head\n\nstart\r\n  tick 3\n\nexpect PulseCount \"1\"");
    ASSERT_EQ(script.size(), 3u);
    EXPECT_EQ(script[0].Line, 3);
    EXPECT_EQ(script[1].Line, 4);
    EXPECT_EQ(script[1].Args, (Words{"tick", "3"}));
    EXPECT_EQ(script[2].Line, 6);
    EXPECT_EQ(script[2].Args[2], "1");
}

TEST(ParseScript, ErrorsNameTheirLine) {
    EXPECT_EQ(ErrorLine("start\nfrobnicate\n"), 2);
    EXPECT_EQ(ErrorLine("start\n\ntick x\n"), 3);
    EXPECT_EQ(ErrorLine("tick -1"), 1);
    EXPECT_EQ(ErrorLine("start\nexpect OnlyOneArgument"), 2);
    EXPECT_EQ(ErrorLine("start\nprint"), 2);
    EXPECT_EQ(ErrorLine("\n\n\nfile a \"b"), 4);
}

TEST(ParseScript, ChecksArgumentsOfEachCommand) {
    // Each line on its own is valid...
    for (const char* good :
         {"locale dd.mm.yyyy hh:mm:ss .",
          "screen 800 600 0 0 800 570",
          "now 2001-02-28 23:59:59",
          "host none",
          "file taktomat.ini \"[a]\\r\\n\"",
          "delete raport.txt",
          "phonebook",
          "phonebook Dom Praca",
          "line Dom 1 2 3 address=10.0.0.5 8192",
          "line Dom 1 2/676",
          "answer yes",
          "dial Dom",
          "start",
          "restart",
          "tick",
          "tick 90000",
          "wait 250",
          "stall 5500",
          "click frmTaktomat.gImpuls",
          "click frmTaktomat 3 -4",
          "rclick frmTaktomat.Label1",
          "dblclick frmTaktomat 1 2",
          "press frmTaktomat 1 2",
          "press frmTaktomat 1 2 right",
          "move frmTaktomat 5 6",
          "release frmTaktomat 1 2 right",
          "bar frmTaktomat.bmpBar 2",
          "key frmOpcje.Edit1 esc",
          "key frmOpcje.Edit1 x",
          "type frmOpcje.Edit1 \"1 2\"",
          "select frmOpcje.ComboBox1 0",
          "tray click",
          "tray dblclick",
          "tray menu Zamknij1",
          "print beeps messages file:raport.txt pixel:frmTaktomat:0:0 frmTaktomat.Top",
          "snapshot frmTaktomat full.png"}) {
        EXPECT_EQ(ErrorLine(good), 0) << good;
    }
    // ...and each of these is a script fault.
    for (const char* bad : {"locale a b ,,",
                            "screen 800 600 0 0 800",
                            "now 2001-02-29 12:00:00",
                            "now 2001-01-01 24:00:00",
                            "now 2001-1-01 12:00:00",
                            "host",
                            "file onlyname",
                            "line Dom",
                            "line Dom 8192 1",
                            "line Dom address=1.2.3",
                            "answer maybe",
                            "dial",
                            "start now",
                            "tick 1 2",
                            "wait",
                            "click",
                            "click frmTaktomat 1",
                            "click frmTaktomat a b",
                            "press frmTaktomat 1 2 left",
                            "move frmTaktomat 1",
                            "bar frmTaktomat.bmpBar",
                            "bar frmTaktomat.bmpBar -1",
                            "key frmTaktomat F13",
                            "select a.b x",
                            "tray",
                            "tray menu",
                            "tray hold",
                            "expect a b c",
                            "print pixel:frmTaktomat:1",
                            "snapshot frmTaktomat"}) {
        EXPECT_NE(ErrorLine(bad), 0) << bad;
    }
}

TEST(ParseExpression, TellsTheKindsApart) {
    auto e = ParseExpression("frmTaktomat.Top", 1);
    EXPECT_EQ(e.What, Expression::Kind::WindowProperty);
    EXPECT_EQ(e.Window, "frmTaktomat");
    EXPECT_EQ(e.Name, "Top");

    e = ParseExpression("frmTaktomat.gImpuls.Progress", 1);
    EXPECT_EQ(e.What, Expression::Kind::ComponentProperty);
    EXPECT_EQ(e.Component, "frmTaktomat.gImpuls");
    EXPECT_EQ(e.Name, "Progress");

    e = ParseExpression("PulseCount", 1);
    EXPECT_EQ(e.What, Expression::Kind::ProgramValue);
    EXPECT_EQ(e.Name, "PulseCount");

    EXPECT_EQ(ParseExpression("beeps", 1).What, Expression::Kind::Beeps);
    EXPECT_EQ(ParseExpression("messages", 1).What, Expression::Kind::Messages);
    EXPECT_EQ(ParseExpression("connections", 1).What, Expression::Kind::Connections);

    // A file name may hold dots and colons of its own.
    e = ParseExpression("file:w95bug.txt", 1);
    EXPECT_EQ(e.What, Expression::Kind::File);
    EXPECT_EQ(e.Name, "w95bug.txt");

    e = ParseExpression("pixel:frmTaktomat:12:7", 1);
    EXPECT_EQ(e.What, Expression::Kind::Pixel);
    EXPECT_EQ(e.Window, "frmTaktomat");
    EXPECT_EQ(e.X, 12);
    EXPECT_EQ(e.Y, 7);
}

TEST(ParseExpression, RejectsMalformed) {
    for (const char* bad : {"", ".Top", "frmTaktomat.", "a..b", "a.b.c.d", "file:", "pixel:w:1",
                            "pixel:w:-1:2", "pixel::1:2", "pixel:w:1:2:3", "pixel:w:x:2"}) {
        EXPECT_THROW(ParseExpression(bad, 7), ScriptError) << bad;
    }
    try {
        ParseExpression("a.b.c.d", 7);
    } catch (const ScriptError& e) {
        EXPECT_EQ(e.Line(), 7);
    }
}

TEST(Texts, PrintableBeepsAndMessages) {
    EXPECT_EQ(Printable("a\tb\r\nc\x01"), "a\\tb\\r\\nc\\x01");
    EXPECT_EQ(Printable("Połączenie"), "Połączenie");  // UTF-8 passes untouched
    EXPECT_EQ(BeepsText({}), "");
    EXPECT_EQ(BeepsText({48, -1, 0}), "48 -1 0");
    EXPECT_EQ(MessagesText({}), "");
    EXPECT_EQ(MessagesText({{"Taktomat", "Rozłączyć?", 35}, {"B", "t", 0}}),
              "Taktomat|Rozłączyć?|35 ;; B|t|0");
}

TEST(Texts, WallTimeAndIntegers) {
    WallTime t;
    ASSERT_TRUE(ParseWallTime("2000-02-29", "07:08:09", t));
    EXPECT_EQ(t.Year, 2000);
    EXPECT_EQ(t.Day, 29);
    EXPECT_EQ(t.Second, 9);
    EXPECT_FALSE(ParseWallTime("1900-02-29", "00:00:00", t));
    EXPECT_FALSE(ParseWallTime("2000-13-01", "00:00:00", t));
    EXPECT_FALSE(ParseWallTime("2000-01-01", "00:60:00", t));
    EXPECT_FALSE(ParseWallTime("2000-01-0a", "00:00:00", t));
    EXPECT_FALSE(ParseWallTime("2000-01-01", "+1:00:00", t));
    int64_t v = 0;
    EXPECT_TRUE(ParseInt("-12", v));
    EXPECT_EQ(v, -12);
    EXPECT_FALSE(ParseInt("12x", v));
    EXPECT_FALSE(ParseInt("+1", v));
    EXPECT_FALSE(ParseInt("99999999999999999999", v));
}

}  // namespace
}  // namespace tt::scenario
