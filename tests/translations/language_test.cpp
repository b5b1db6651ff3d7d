// Which language a locale gets, the settings file's words for them, and the
// English embedded in the build.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/language.h"

using kd36::Language;

TEST(LanguageTest, TheWindowIsJapaneseForJapaneseAndForTheToolsOwnLocales)
{
    for (const char* locale : {"ja_JP.UTF-8", "ja_JP.eucJP", "ja", "C", "C.UTF-8", "POSIX", ""})
        EXPECT_EQ(kd36::windowLanguage(locale), Language::Japanese) << locale;
    for (const char* locale : {"en_US.UTF-8", "de_DE.UTF-8", "en_GB@euro", "fr", "Cx", "jv_ID"})
        EXPECT_EQ(kd36::windowLanguage(locale), Language::English) << locale;
    // Standard error is English for the C locale too: only ja* reads Japanese.
    EXPECT_EQ(kd36::streamLanguage("ja_JP.UTF-8"), Language::Japanese);
    for (const char* locale : {"C", "C.UTF-8", "POSIX", "", "en_US.UTF-8"})
        EXPECT_EQ(kd36::streamLanguage(locale), Language::English) << locale;
}

TEST(LanguageTest, LcAllThenLcMessagesThenLangAndEmptyCountsAsUnset)
{
    setenv("LC_ALL", "", 1);
    setenv("LC_MESSAGES", "", 1);
    setenv("LANG", "", 1);
    EXPECT_EQ(kd36::messagesLocale(), "");
    setenv("LANG", "ja_JP.UTF-8", 1);
    EXPECT_EQ(kd36::messagesLocale(), "ja_JP.UTF-8");
    setenv("LC_MESSAGES", "de_DE.UTF-8", 1);
    EXPECT_EQ(kd36::messagesLocale(), "de_DE.UTF-8");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(kd36::messagesLocale(), "C");
}

TEST(LanguageTest, SettingsWordsRoundTripAndOthersAreNoChoice)
{
    for (Language l : {Language::Japanese, Language::English})
        EXPECT_EQ(kd36::languageFromKey(kd36::languageKey(l)), l);
    for (const char* other : {"", "EN", "english", "fr", "ja "})
        EXPECT_FALSE(kd36::languageFromKey(other)) << other;
}

TEST(LanguageTest, TheEmbeddedEnglishAnswersAndJapaneseIsTheSource)
{
    EXPECT_EQ(kd36::translated(Language::English, "QtBoxes", "送信失敗"), "Send failed");
    EXPECT_EQ(kd36::translated(Language::Japanese, "QtBoxes", "送信失敗"), "送信失敗");
    // Data is not a source text: it comes back as given.
    EXPECT_EQ(kd36::translated(Language::English, "QtBoxes", ">EQID:E=5"), ">EQID:E=5");

    int argc = 1;
    char name[] = "language_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    ASSERT_TRUE(kd36::useLanguage(Language::English));
    EXPECT_EQ(kd36::languageInUse(), Language::English);
    EXPECT_EQ(QCoreApplication::translate("QtBoxes", "送信失敗"), QStringLiteral("Send failed"));
    ASSERT_TRUE(kd36::useLanguage(Language::Japanese));
    EXPECT_EQ(kd36::languageInUse(), Language::Japanese);
    EXPECT_EQ(QCoreApplication::translate("QtBoxes", "送信失敗"), QString::fromUtf8("送信失敗"));
}
