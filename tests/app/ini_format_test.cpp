#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <climits>

#include "app/ini_ex.h"

namespace {

// In-memory parsing and rewriting: the format rules.
CIniEx* Parsed(CIniEx& ini, const char* text) {
    ini.Parse(QByteArray(text));
    return &ini;
}

TEST(IniFormat, CommentStartsAtTheLastSemicolonOfAValue) {
    CIniEx ini;
    Parsed(ini, "[LOG]\nFILE_NAME=/data/a;b/log.csv ; note\nX=1;2;3\nY=;\nZ=plain\n");
    EXPECT_EQ(ini.GetValue("LOG", "FILE_NAME"), "/data/a;b/log.csv ");
    EXPECT_EQ(ini.GetValue("LOG", "X"), "1;2");
    EXPECT_EQ(ini.GetValue("LOG", "Y", "def"), "");
    EXPECT_EQ(ini.GetValue("LOG", "Z"), "plain");
    // ";" lines are ordinary entries.
    Parsed(ini, "; a remark\n");
    EXPECT_EQ(ini.GetKeys(""), QStringList{"; a remark"});
}

TEST(IniFormat, NamesIgnoreCaseButNotSpaces) {
    CIniEx ini;
    Parsed(ini,
           "[log]\nfile_interval=5\n[GENERAL]\nPORT_NR =7\n WINDOW_TOP=9\n[ LOG]\nFILE_LOG=1\n");
    EXPECT_EQ(ini.GetValueInt("LOG", "FILE_INTERVAL", 60), 5);
    EXPECT_EQ(ini.GetValueInt("GENERAL", "PORT_NR", 0), 0);
    EXPECT_EQ(ini.GetValueInt("GENERAL", "PORT_NR ", 0), 7);
    EXPECT_EQ(ini.GetValueInt("GENERAL", "WINDOW_TOP", 50), 50);
    EXPECT_EQ(ini.GetValueInt("LOG", "FILE_LOG", 0), 0);
}

TEST(IniFormat, CaseSensitiveNamesWhenTheOptionIsOff) {
    QTemporaryDir dir;
    CIniEx ini;
    ASSERT_EQ(ini.Open(dir.filePath("c.ini"), false, true, false), CIniEx::OpenResult::Opened);
    ini.Parse("[LOG]\nFILE_LOG=1\n");
    EXPECT_EQ(ini.GetValueInt("log", "file_log", 7), 7);
    EXPECT_EQ(ini.GetValueInt("LOG", "FILE_LOG", 7), 1);
    ini.SetValue("LOG", "FILE_LOG", "1");
    EXPECT_FALSE(ini.IsChanged());
    ini.SetValue("log", "FILE_LOG", "1");
    EXPECT_TRUE(ini.IsChanged());
}

TEST(IniFormat, LastOfTwoEqualKeysIsReadAndSet) {
    CIniEx ini;
    Parsed(ini, "[LOG]\r\nFILE_INTERVAL=10\r\nFILE_INTERVAL=20\r\n");
    EXPECT_EQ(ini.GetValueInt("LOG", "FILE_INTERVAL", 60), 20);
    ini.SetValueInt("LOG", "FILE_INTERVAL", 30);
    EXPECT_EQ(ini.ToBytes(), QByteArray("[LOG]\r\nFILE_INTERVAL=10\r\nFILE_INTERVAL=30\r\n"));
}

TEST(IniFormat, FirstOfTwoEqualSectionsIsUsedAndTheSecondKept) {
    CIniEx ini;
    Parsed(ini, "[A]\nk=1\n[B]\nk=2\n[a]\nk=3\n");
    EXPECT_EQ(ini.GetValue("A", "k"), "1");
    ini.SetValue("A", "k", "9");
    EXPECT_EQ(ini.ToBytes(), QByteArray("[A]\r\nk=9\r\n[B]\r\nk=2\r\n[a]\r\nk=3\r\n"));
}

TEST(IniFormat, RewriteKeepsOrderAndEveryUnchangedLineAsItWas) {
    CIniEx ini;
    // Unnamed entries first, an empty line, a line without "=", an empty key,
    // a header-only section, a value holding "=", a CR not before LF.
    Parsed(ini,
           "FILE_LOG=1\n\n[LOG]\nLONELY\n=orphan\nNOTE\nFILE_LOG=0\n[EMPTY]\n[GENERAL]\n"
           "A=b=c\nB=x\ry\r\r\nC=last");
    EXPECT_EQ(ini.GetValueInt("LOG", "FILE_LOG", 5), 0);
    EXPECT_EQ(ini.GetValue("GENERAL", "A"), "b=c");
    EXPECT_EQ(ini.GetValue("GENERAL", "B"), "x\ry\r");
    EXPECT_EQ(ini.GetValue("GENERAL", "C"), "last");
    EXPECT_EQ(ini.GetValue("LOG", "LONELY", "d"), "");
    EXPECT_EQ(ini.GetSections(), (QStringList{"LOG", "GENERAL"}));
    // The header-only section is kept in the file but never found: setting a
    // key in it adds a section of that name at the end.
    ini.SetValue("EMPTY", "K", "v");
    ini.SetValue("NEW", "K", "v");
    // A line without "=" that the program sets gets one; the others stay bare.
    ini.SetValue("LOG", "NOTE", "");
    EXPECT_EQ(ini.ToBytes(),
              QByteArray("FILE_LOG=1\r\n\r\n[LOG]\r\nLONELY\r\n=orphan\r\nNOTE=\r\n"
                         "FILE_LOG=0\r\n[EMPTY]\r\n[GENERAL]\r\nA=b=c\r\nB=x\ry\r\r\n"
                         "C=last\r\n[EMPTY]\r\nK=v\r\n[NEW]\r\nK=v\r\n"));
    CIniEx again;
    again.Parse(ini.ToBytes());
    EXPECT_EQ(again.GetValue("EMPTY", "K"), "v");
}

TEST(IniFormat, LookupsFoldLettersBeyondAsciiAndFollowRemovals) {
    CIniEx ini;
    Parsed(ini, "[Żółw]\nKLUCZ=1\nklucz=2\n[ŻÓŁW]\nklucz=3\n");
    EXPECT_EQ(ini.GetValue("żółw", "Klucz"), "2");  // the first section, its last key
    ini.SetValue("ŻÓŁW", "KLUCZ", "4");
    EXPECT_EQ(ini.ToBytes(), QByteArray("[Żółw]\r\nKLUCZ=1\r\nklucz=4\r\n[ŻÓŁW]\r\nklucz=3\r\n"));
    EXPECT_TRUE(ini.RemoveKey("żółw", "klucz"));
    EXPECT_EQ(ini.GetValue("Żółw", "KLUCZ"), "1");
    // With the first section gone, the second one of the name is found.
    EXPECT_TRUE(ini.RemoveSection("żółw"));
    EXPECT_EQ(ini.GetValue("żółw", "klucz"), "3");
    ini.SetValue("żółw", "nowy", "5");
    EXPECT_EQ(ini.ToBytes(), QByteArray("[ŻÓŁW]\r\nklucz=3\r\nnowy=5\r\n"));
}

TEST(IniFormat, RewrittenFileReadsBackTheSameValues) {
    CIniEx ini;
    // "[]" opens an unnamed section that must not merge into [LOG] when reread.
    Parsed(ini, "[LOG]\nFILE_INTERVAL=10\n[]\nFILE_INTERVAL=20\n=[GENERAL]\nPORT_NR=3\n");
    ini.SetValueInt("LOG", "FILE_LOG", 1);
    CIniEx again;
    again.Parse(ini.ToBytes());
    EXPECT_EQ(again.GetValueInt("LOG", "FILE_INTERVAL", 0), 10);
    EXPECT_EQ(again.GetValueInt("GENERAL", "PORT_NR", 0), 0);
    EXPECT_EQ(again.ToBytes(), ini.ToBytes());
}

TEST(IniFormat, ChangedFlagIgnoresCaseOnlyChangesOfValues) {
    CIniEx ini;
    Parsed(ini, "[LOG]\nFILE_NAME=C:/Data/Log.txt\n");
    ini.SetValue("log", "file_name", "c:/data/LOG.TXT");
    EXPECT_FALSE(ini.IsChanged());
    EXPECT_EQ(ini.GetValue("LOG", "FILE_NAME"), "c:/data/LOG.TXT");
    ini.SetValue("LOG", "FILE_NAME", "c:/data/other.txt");
    EXPECT_TRUE(ini.IsChanged());
}

TEST(IniFormat, NumbersReadLikeAtoiAndClampInsteadOfOverflowing) {
    CIniEx ini;
    Parsed(ini,
           "[N]\nA= -12xyz\nB=abc\nC=99999999999\nD=-99999999999\nE=\nF=+7\nG=1.9\n"
           "U1=-1\nU2=4294967295\nU3=99999999999999999999999\n");
    EXPECT_EQ(ini.GetValueInt("N", "A", 1), -12);
    EXPECT_EQ(ini.GetValueInt("N", "B", 1), 0);
    EXPECT_EQ(ini.GetValueInt("N", "C", 1), INT_MAX);
    EXPECT_EQ(ini.GetValueInt("N", "D", 1), INT_MIN);
    EXPECT_EQ(ini.GetValueInt("N", "E", 1), 0);
    EXPECT_EQ(ini.GetValueInt("N", "F", 1), 7);
    EXPECT_EQ(ini.GetValueInt("N", "G", 1), 1);
    EXPECT_EQ(ini.GetValueInt("N", "missing", -64), -64);
    EXPECT_EQ(ini.GetValueUInt("N", "U1", 0), 4294967295u);
    EXPECT_EQ(ini.GetValueUInt("N", "U2", 0), 4294967295u);
    EXPECT_EQ(ini.GetValueUInt("N", "U3", 0), 4294967295u);
    EXPECT_EQ(ini.GetValueUInt("N", "missing", 13559807u), 13559807u);
    ini.SetValueUInt("N", "U4", 4294967295u);
    EXPECT_EQ(ini.GetValue("N", "U4"), "4294967295");
}

TEST(IniFormat, RemoveAndListOperations) {
    CIniEx ini;
    Parsed(ini, "top=1\n[A]\nk=1\nk=2\nm=3\n[B]\nx=1\n");
    EXPECT_EQ(ini.GetKeys("a"), (QStringList{"k", "k", "m"}));
    EXPECT_TRUE(ini.RemoveKey("A", "K"));  // the later "k"
    EXPECT_EQ(ini.GetValue("A", "k"), "1");
    EXPECT_FALSE(ini.RemoveKey("A", "nope"));
    EXPECT_TRUE(ini.RemoveSection("b"));
    EXPECT_FALSE(ini.RemoveSection("B"));
    EXPECT_EQ(ini.GetSections(), QStringList{"A"});
    EXPECT_TRUE(ini.RemoveSection(""));
    EXPECT_EQ(ini.ToBytes(), QByteArray("[A]\r\nk=1\r\nm=3\r\n"));
}

}  // namespace
