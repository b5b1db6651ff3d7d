// Number reading, Shift-JIS handling and the monitor's 16 kB rule.
#include <cstdio>

#include <gtest/gtest.h>

#include "engine/command_words.h"
#include "engine/conversions.h"
#include "engine/monitor_buffer.h"
#include "engine/sjis.h"
#include "tests/support/fake_view.h"

using namespace kd36;

TEST(StrToInt, AcceptsWhatTheInputFieldsAllow)
{
    struct Case {
        const char* text;
        std::optional<int32_t> value;
    } cases[] = {
        {"1234567", 1234567}, {"  42", 42},        {"-5", -5},          {"+7", 7},
        {"$1F", 31},          {"x10", 16},         {"0x10", 16},        {"0X1f", 31},
        {"0", 0},             {"12A", std::nullopt}, {"", std::nullopt}, {" ", std::nullopt},
        {"1 ", std::nullopt}, {"0x", std::nullopt}, {"--1", std::nullopt}, {"2147483647", 2147483647},
        {"2147483648", std::nullopt}, {"-2147483648", INT32_MIN}, {"$FFFFFFFF", -1},
        {"99999999999999999999", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(strToInt(c.text), c.value) << c.text;
    EXPECT_THROW(strToIntOrThrow("abc"), ConversionError);
}

TEST(ScanLite, BehavesLikeScanfOnReplyPayloads)
{
    std::vector<ScanValue> v;
    EXPECT_EQ(scanLite("F=128/I=100/S=1234567/T=3/W=10", "F=%d/I=%d/S=%d/T=%d/W=%d", v), 5);
    EXPECT_EQ(v[2].number, 1234567);
    EXPECT_EQ(scanLite("F=64/I=80", "F=%d/I=%d/S=%d/T=%d/W=%d", v), 2);
    // Input ends before the first conversion: not a mismatch.
    EXPECT_EQ(scanLite("", "F=%d/I=%d", v), -1);
    EXPECT_EQ(scanLite("X=1", "F=%d", v), 0);
    EXPECT_EQ(scanLite("F=0128", "F=%d", v), 1);
    EXPECT_EQ(v[0].number, 128);
    EXPECT_EQ(scanLite("F=99999999999", "F=%d", v), 1);
    EXPECT_EQ(v[0].number, INT32_MAX);
    EXPECT_EQ(scanLite("A=-", "%X=%c", v), 2);
    EXPECT_EQ(v[0].number, 10);
    EXPECT_EQ(scanLite(" 5=3", "%X=%c", v), 2);
    EXPECT_EQ(v[0].number, 5);
    EXPECT_EQ(v[1].ch, '3');
    EXPECT_EQ(scanLite("Q", "%X=%c", v), 0);
    EXPECT_EQ(scanLite("07=3FF,08=1ff", "07=%X,08=%X", v), 2);
    EXPECT_EQ(v[1].number, 0x1FF);
}

// Signs, hex prefixes, blanks and early ends, with the C library as the judge.
TEST(ScanLite, AgreesWithScanfWithinRange)
{
    union Slot {
        int d;
        unsigned x;
        char c;
    };
    for (const char* f : {"%d", "%X", "%x", "%d %X", "A=%x,%c", "%d%c"})
        for (const char* in : {"-12", "+7", " \t42", "0x1F", "-0x10", "0xg", "ffffffff", "-1", "- 5", "+", "", "  ",
                               "12abc", "3 4", "A=b,q", "A= -c,", "A=", "1\n 0X2a", "5/6"}) {
            std::string convs;
            for (const char* p = f; *p; ++p)
                if (*p == '%')
                    convs += *++p;
            Slot s[2]{};
            auto slot = [&](size_t k) -> void* {
                return k < convs.size() && convs[k] == 'c' ? (void*)&s[k].c : &s[k].d;
            };
            std::vector<ScanValue> v;
            const int n = scanLite(in, f, v);
            ASSERT_EQ(n, std::sscanf(in, f, slot(0), slot(1))) << f << " on '" << in << "'";
            for (int k = 0; k < n; ++k)
                if (convs[size_t(k)] == 'c')
                    EXPECT_EQ(v[size_t(k)].ch, s[k].c) << f << " on '" << in << "'";
                else
                    EXPECT_EQ(int32_t(v[size_t(k)].number), s[k].d) << f << " on '" << in << "'";
        }
}

// An unknown conversion ends the scan and what came before it stands (the C
// library cannot judge this: such a format is undefined there).
TEST(ScanLite, UnknownConversionEndsTheScan)
{
    std::vector<ScanValue> v;
    EXPECT_EQ(scanLite("5/6", "%d/%q", v), 1);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_EQ(v[0].number, 5);
    EXPECT_EQ(scanLite("", "%d/%q", v), -1);
}

TEST(Sjis, RoundTripsJapaneseAndSurvivesGarbage)
{
    const std::string s = utf8ToSjis("送信失敗");
    EXPECT_EQ(s.size(), 8u);
    EXPECT_EQ(sjisToUtf8(s), "送信失敗");
    EXPECT_EQ(utf8ToSjis("あA").size(), 3u);
    // Half-width katakana is one byte each.
    EXPECT_EQ(utf8ToSjis("ｱﾌﾟﾘ").size(), 4u);
    // An invalid sequence does not stop the rest.
    std::string bad = "A\x81\x20" "B";
    std::string u = sjisToUtf8(bad);
    EXPECT_EQ(u.front(), 'A');
    EXPECT_EQ(u.back(), 'B');
    EXPECT_EQ(sjisToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
    // A cut never splits a double-byte character.
    std::string two = utf8ToSjis("あい");
    EXPECT_EQ(sjisSafeCut(two, 3), 2u);
    EXPECT_EQ(sjisSafeCut(two, 4), 4u);
}

TEST(MonitorBuffer, AddsTrimmedLinesAndKeepsAbout16k)
{
    MonitorBuffer m;
    m.addLine("@FREQ\r\n");
    m.addLine("AB \t\r\n");
    m.addLine("   \r\n");
    m.addLine("");
    EXPECT_EQ(m.text(), "@FREQ\r\nAB\r\n\r\n");

    MonitorBuffer big;
    std::string line(98, 'x');
    while (big.text().size() <= MonitorBuffer::kLimit)
        big.addLine(line);
    const size_t before = big.text().size();
    EXPECT_TRUE(big.addLine("last"));
    EXPECT_EQ(big.text().size(), before - MonitorBuffer::kDrop + 6);
    EXPECT_EQ(big.text().substr(big.text().size() - 6), "last\r\n");
}

TEST(MonitorBuffer, DropNeverSplitsADoubleByteCharacter)
{
    MonitorBuffer m;
    // 8190 ASCII bytes then double-byte characters: byte 8191 is a lead byte's trail.
    std::string kana;
    for (int i = 0; i < 4200; ++i)
        kana += utf8ToSjis("あ");
    m.mutableText() = std::string(8190, 'a') + kana;
    ASSERT_GT(m.text().size(), MonitorBuffer::kLimit);
    m.addLine("z");
    const std::string& t = m.text();
    // What remains starts on a character boundary: a run of whole "あ".
    EXPECT_EQ(t.substr(0, 2), utf8ToSjis("あ"));
    EXPECT_EQ(sjisToUtf8(t.substr(0, t.size() - 3)).find("\xEF\xBF\xBD"), std::string::npos);
}

TEST(MonitorBuffer, EchoAppendsOrReplacesTheMemo)
{
    test::FakeView v(WindowKind::Main);
    MonitorBuffer m;
    m.echo(v, Monitor::Commands, "one\r\ntwo\r\n");
    EXPECT_EQ(v.memoLines(Monitor::Commands), (std::vector<std::string>{"one", "two"}));
}

TEST(CommandWords, FramesCommands)
{
    EXPECT_EQ(CommandWords.size(), 17u);
    EXPECT_EQ(CommandWords[W_COMS], "COMS");
    EXPECT_EQ(command(W_INIT), "@INIT\r\n");
    EXPECT_EQ(command(W_AIRC, "N=A"), "@AIRC:N=A\r\n");
}
