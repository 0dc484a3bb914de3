// What the documents must keep up with: the help's list of messages holds every message the program
// can show, word for word; the help's options page and both halves of the README list every key of
// the settings file; and the help, both halves of the README and the release's read-me texts name
// every kind of playlist the program reads.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kSourceDir = SONGFERRY_SOURCE_DIR;
const std::string kMessageTexts = kSourceDir + "/src/resources/MessageTexts.h";

std::string ReadFile(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

const std::string kPlaceholder = "\x01";

// The text of the first string literal in `line`.
std::string Literal(const std::string &line) {
  const std::size_t open = line.find('"');
  return line.substr(open + 1, line.find('"', open + 1) - open - 1);
}

std::string WithPlaceholders(std::string text) {
  for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
    if (at + 1 < text.size() && (text[at + 1] == 's' || text[at + 1] == 'd'))
      text.replace(at, 2, kPlaceholder);
  }
  return text;
}

// The message texts of the program's resources: every text constant except captions and the open
// dialog's title and filter, and every entry of the I/O error table.
std::set<std::string> ProgramMessages() {
  const std::set<std::string> notMessages = {"kApplicationTitle", "kErrorCaption", "kInfoCaption", "kOpenDialogTitle",
                                             "kOpenDialogFilter"};
  const std::string constant = "inline constexpr char k";
  std::set<std::string> messages;
  std::istringstream header(ReadFile(kMessageTexts));
  for (std::string line; std::getline(header, line);) {
    if (line.rfind(constant, 0) == 0) {
      const std::string name = line.substr(constant.size() - 1, line.find('[') - constant.size() + 1);
      // A text too long for one line starts on the next.
      std::string continued;
      if (line.find('"') == std::string::npos && std::getline(header, continued))
        line += continued;
      if (!notMessages.count(name))
        messages.insert(WithPlaceholders(Literal(line)));
    } else if (line.rfind("    {", 0) == 0 && line.find('"') != std::string::npos) {
      messages.insert(WithPlaceholders(Literal(line)));
    }
  }
  return messages;
}

// Replaces every element `<tag>...</tag>` in `text` by `replacement`.
std::string ReplaceElements(std::string text, const std::string &tag, const std::string &replacement) {
  const std::string open = "<" + tag + ">", close = "</" + tag + ">";
  for (std::size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + replacement.size())) {
    const std::size_t end = text.find(close, at);
    if (end == std::string::npos)
      break;
    text.replace(at, end + close.size() - at, replacement);
  }
  return text;
}

// The <dt> entries of the help's message lists, each <var> standing for a placeholder.
std::set<std::string> HelpMessages(std::string &entriesWithOtherMarkup) {
  const std::string page = ReadFile(kSourceDir + "/docs/help/errors.html");
  std::set<std::string> messages;
  for (std::size_t at = page.find("<dt>"); at != std::string::npos; at = page.find("<dt>", at + 1)) {
    const std::size_t end = page.find("</dt>", at);
    std::string text = ReplaceElements(page.substr(at + 4, end - at - 4), "var", kPlaceholder);
    if (text.find_first_of("<>&\n") != std::string::npos)
      entriesWithOtherMarkup += text + "\n";
    messages.insert(text);
  }
  return messages;
}

TEST(HelpMessages, ListsEveryMessageOfTheProgramWordForWord) {
  const auto program = ProgramMessages();
  ASSERT_GE(program.size(), 15u) << "the message texts were not found in " << kMessageTexts;
  std::string otherMarkup;
  const auto help = HelpMessages(otherMarkup);
  EXPECT_EQ(otherMarkup, "") << "a message entry holds only its text and <var> placeholders";
  for (const auto &message : program)
    EXPECT_TRUE(help.count(message)) << "missing from the help: " << message;
  for (const auto &message : help)
    EXPECT_TRUE(program.count(message)) << "the program has no such message: " << message;
}

// The extensions of the open dialog's filter, the kinds of playlist the program reads: ".m3u", ...
std::vector<std::string> PlayListExtensions() {
  const std::string header = ReadFile(kMessageTexts);
  const std::size_t filter = header.find("kOpenDialogFilter[]");
  if (filter == std::string::npos)
    return {};
  // Description, NUL, patterns, NUL: the patterns lie between the first two "\0" of the literal.
  const std::size_t patterns = header.find("\\0", filter) + 2;
  std::vector<std::string> extensions;
  std::istringstream list(header.substr(patterns, header.find("\\0", patterns) - patterns));
  for (std::string pattern; std::getline(list, pattern, ';');)
    extensions.push_back(pattern.substr(pattern.find('.')));
  return extensions;
}

// Whether `text` names `extension` as itself, not as the start of a longer one (".m3u" in ".m3u8").
bool Names(const std::string &text, const std::string &extension) {
  for (std::size_t at = text.find(extension); at != std::string::npos; at = text.find(extension, at + 1)) {
    const std::size_t end = at + extension.size();
    if (end == text.size() || !std::isalnum(static_cast<unsigned char>(text[end])))
      return true;
  }
  return false;
}

// The text from the line `from` up to the line `to`, or to the end.
std::string Between(const std::string &text, const std::string &from, const std::string &to) {
  const std::size_t start = text.find("\n" + from + "\n");
  if (start == std::string::npos)
    return {};
  return text.substr(start, text.find("\n" + to + "\n", start + 1) - start);
}

TEST(Documents, NameEveryKindOfPlayListTheProgramReads) {
  const auto extensions = PlayListExtensions();
  ASSERT_GE(extensions.size(), 2u) << "the open dialog's filter was not found in " << kMessageTexts;
  const std::string readme = ReadFile(kSourceDir + "/README.md");
  const std::vector<std::pair<std::string, std::string>> documents = {
      {"docs/help/index.html", ReadFile(kSourceDir + "/docs/help/index.html")},
      {"README.md, 日本語", Between(readme, "## 日本語", "## English")},
      {"README.md, English", Between(readme, "## English", "## For developers")},
      {"docs/release/README.txt", ReadFile(kSourceDir + "/docs/release/README.txt")},
      {"docs/release/はじめにお読みください.txt", ReadFile(kSourceDir + "/docs/release/はじめにお読みください.txt")},
  };
  for (const auto &[name, text] : documents) {
    ASSERT_NE(text, "") << name << " was not found";
    for (const auto &extension : extensions)
      EXPECT_TRUE(Names(text, extension)) << name << " does not name " << extension;
  }
}

// The keys of the settings file, as the program reads them.
std::set<std::string> SettingKeys() {
  const std::string source = ReadFile(kSourceDir + "/src/settings/SFOption.cpp");
  const std::regex read(R"re(Read\w+\(kSection, "(\w+)")re");
  std::set<std::string> keys;
  for (auto match = std::sregex_iterator(source.begin(), source.end(), read); match != std::sregex_iterator(); ++match)
    keys.insert((*match)[1]);
  return keys;
}

TEST(Documents, ListEveryKeyOfTheSettingsFile) {
  const auto keys = SettingKeys();
  ASSERT_GE(keys.size(), 7u) << "the settings were not found in src/settings/SFOption.cpp";
  const std::string readme = ReadFile(kSourceDir + "/README.md");
  const std::string options = ReadFile(kSourceDir + "/docs/help/options.html");
  for (const auto &key : keys) {
    EXPECT_NE(Between(readme, "## 日本語", "## English").find("| `" + key + "` |"), std::string::npos)
        << "the Japanese settings table of README.md lacks " << key;
    EXPECT_NE(Between(readme, "## English", "## For developers").find("| `" + key + "` |"), std::string::npos)
        << "the English settings table of README.md lacks " << key;
    EXPECT_NE(options.find("<tr><td>" + key + "</td>"), std::string::npos)
        << "the settings table of docs/help/options.html lacks " << key;
  }
}

} // namespace
