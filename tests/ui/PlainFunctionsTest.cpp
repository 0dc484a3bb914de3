#include "ui/CommandLine.h"
#include "ui/MessageBoxes.h"
#include "ui/SFMain.h"
#include "ui/SystemDlls.h"

#include <gtest/gtest.h>
#include <uxtheme.h>

namespace sf::ui {
namespace {

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheProgramsQuotingRules) {
  EXPECT_EQ(SplitCommandLine("Songferry.exe"), Arguments{"Songferry.exe"});
  EXPECT_EQ(SplitCommandLine("  prog  C:\\Lists\\mix.m3u  extra "), (Arguments{"prog", "C:\\Lists\\mix.m3u", "extra"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\Songferry.exe\" \"D:\\My Lists\\a b.m3u\""),
            (Arguments{"C:\\Program Files\\Songferry.exe", "D:\\My Lists\\a b.m3u"}));
  // Quoted and unquoted stretches next to each other make one argument.
  EXPECT_EQ(SplitCommandLine("p D:\\\"My Lists\"\\a.m3u"), (Arguments{"p", "D:\\My Lists\\a.m3u"}));
  // "" where an argument would begin is skipped like a blank; inside one it is an empty stretch.
  EXPECT_EQ(SplitCommandLine("p \"\" a\"\"b \"\"\"c d\""), (Arguments{"p", "ab", "c d"}));
  // No escapes: a backslash before a quote is an ordinary byte.
  EXPECT_EQ(SplitCommandLine("p \"C:\\\\\" x"), (Arguments{"p", "C:\\\\", "x"}));
  // An unclosed quote runs to the end.
  EXPECT_EQ(SplitCommandLine("p \"a b"), (Arguments{"p", "a b"}));
  // Tabs and control bytes separate.
  EXPECT_EQ(SplitCommandLine("p\ta\x01"
                             "b\r\nc"),
            (Arguments{"p", "a", "b", "c"}));
  EXPECT_TRUE(SplitCommandLine("").empty());
}

TEST(SplitCommandLine, KeepsDoubleByteCharactersWhole) {
  // "表" and "ソ" end in 0x5C; "\x81\x22" would not be a quote either, were it a character.
  EXPECT_EQ(SplitCommandLine("p \"C:\\表\\ソ.m3u\""), (Arguments{"p", "C:\\表\\ソ.m3u"}));
  EXPECT_EQ(SplitCommandLine("p 表\\ソ.m3u"), (Arguments{"p", "表\\ソ.m3u"}));
}

TEST(UnhandledErrorText, AppendsAPeriodAfterCharactersThatSortAfterIt) {
  EXPECT_EQ(UnhandledErrorText("ファイルが見つかりません"), "ファイルが見つかりません.");
  EXPECT_EQ(UnhandledErrorText("C:\\Songferry.ini に書き込めません"), "C:\\Songferry.ini に書き込めません.");
  EXPECT_EQ(UnhandledErrorText("I/O エラー (32)"), "I/O エラー (32)");
  EXPECT_EQ(UnhandledErrorText("done."), "done.");
  EXPECT_EQ(UnhandledErrorText("wait!"), "wait!");
  EXPECT_EQ(UnhandledErrorText("abc"), "abc.");
  EXPECT_EQ(UnhandledErrorText("v2"), "v2.");
  EXPECT_EQ(UnhandledErrorText(""), "");
  // The last character is "表" (0x95 0x5C), not the 0x5C that ends it.
  EXPECT_EQ(UnhandledErrorText("表"), "表.");
}

TEST(HelpCommandLine, QuotesTheHelpFileBesideTheProgram) {
  EXPECT_EQ(HelpCommandLine("C:\\Program Files\\Songferry\\Songferry.exe"),
            "hh \"C:\\Program Files\\Songferry\\Songferry.CHM\"");
  EXPECT_EQ(HelpCommandLine("D:\\表\\Songferry.exe"), "hh \"D:\\表\\Songferry.CHM\"");
}

TEST(HelpViewerPath, IsHhInTheWindowsFolderEvenAtARoot) {
  EXPECT_EQ(HelpViewerPath("C:\\Windows"), "C:\\Windows\\hh.exe");
  EXPECT_EQ(HelpViewerPath("C:\\"), "C:\\hh.exe");
  EXPECT_EQ(HelpViewerPath("D:\\表"), "D:\\表\\hh.exe");
}

TEST(SystemDll, ComesOnlyFromTheSystemFolderOnceTheProgramSaysSo) {
  // lookalike.dll lies beside the test program, where a plain search finds it first.
  const auto plain = LoadLibraryW(L"lookalike.dll");
  ASSERT_NE(plain, nullptr);
  FreeLibrary(plain);
  EXPECT_EQ(SystemDll(L"lookalike.dll").Find<int()>("LookAlike"), nullptr);
  EXPECT_NE(SystemDll(L"uxtheme.dll").Find<decltype(SetWindowTheme)>("SetWindowTheme"), nullptr);
  LoadDllsFromSystemOnly();
  EXPECT_EQ(LoadLibraryW(L"lookalike.dll"), nullptr);
}

TEST(LetDropsThrough, AllowsExplorersThreeDropMessagesToTheWindow) {
  static std::vector<std::pair<UINT, DWORD>> allowed;
  const auto window = reinterpret_cast<HWND>(0x1234);
  LetDropsThrough(window, [](HWND to, UINT message, DWORD action, PCHANGEFILTERSTRUCT) -> BOOL {
    if (to == reinterpret_cast<HWND>(0x1234))
      allowed.emplace_back(message, action);
    return TRUE;
  });
  EXPECT_EQ(allowed, (std::vector<std::pair<UINT, DWORD>>{
                         {WM_DROPFILES, MSGFLT_ALLOW}, {WM_COPYDATA, MSGFLT_ALLOW}, {0x0049, MSGFLT_ALLOW}}));
}

} // namespace
} // namespace sf::ui
