// The help's list of messages must hold every message the program can show, word for word.
// Compiled without the Shift-JIS execution charset: the texts compare as UTF-8, as the help is written.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

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
  std::istringstream header(ReadFile(SONGFERRY_MESSAGE_TEXTS));
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
  const std::string page = ReadFile(SONGFERRY_HELP_MESSAGES);
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
  ASSERT_GE(program.size(), 15u) << "the message texts were not found in " SONGFERRY_MESSAGE_TEXTS;
  std::string otherMarkup;
  const auto help = HelpMessages(otherMarkup);
  EXPECT_EQ(otherMarkup, "") << "a message entry holds only its text and <var> placeholders";
  for (const auto &message : program)
    EXPECT_TRUE(help.count(message)) << "missing from the help: " << message;
  for (const auto &message : help)
    EXPECT_TRUE(program.count(message)) << "the program has no such message: " << message;
}

} // namespace
