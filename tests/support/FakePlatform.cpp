#include "FakePlatform.h"

#include "platform/InOutError.h"
#include "platform/PathParts.h"
#include "settings/ProfileText.h"

#include <algorithm>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#include <memory>
#endif

namespace sf::testing {
namespace {

// Windows' error codes, as the fake reports them.
constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kAccessDenied = 5;

bool Matches(std::string_view pattern, std::string_view name) {
  if (pattern.empty())
    return name.empty();
  if (pattern.front() == '*')
    return Matches(pattern.substr(1), name) || (!name.empty() && Matches(pattern, name.substr(1)));
  return !name.empty() && (pattern.front() == '?' || pattern.front() == name.front()) &&
         Matches(pattern.substr(1), name.substr(1));
}

// The 8.3 name Windows generates for a long extension: "x.mp3x" is also "X~1.MP3".
std::string ShortExtensionForm(const std::string &upperName) {
  const auto extension = ExtensionPart(upperName);
  if (extension.size() <= 4)
    return upperName;
  return upperName.substr(0, upperName.size() - extension.size()) + extension.substr(0, 4);
}

} // namespace

FakePlatform::FakePlatform() { AddFolder("C:\\"); }

template <typename Body> decltype(auto) FakePlatform::Call(Body &&body, const std::function<void()> &cutShort) {
  if (dead_)
    throw SimulatedCrash{};
  if (++calls_ != crashAt_)
    return body();
  if (crashPoint_ == CrashPoint::AfterEffect) {
    // The process never sees what the call returned or threw.
    try {
      body();
    } catch (...) {
    }
  } else if (cutShort) {
    cutShort();
  }
  dead_ = true;
  throw SimulatedCrash{};
}

void FakePlatform::CrashAt(std::size_t call, CrashPoint point) {
  if (call == 0)
    throw std::invalid_argument("calls are counted from 1");
  crashAt_ = calls_ + call;
  crashPoint_ = point;
}

void FakePlatform::Restart() {
  dead_ = false;
  crashAt_ = 0;
}

std::string FakePlatform::UpperCase(std::string_view text) const {
  std::string result(text);
  for (std::size_t i = 0; i < result.size(); ++i) {
    if (result[i] >= 'a' && result[i] <= 'z') {
      result[i] = static_cast<char>(result[i] - 'a' + 'A');
    } else if (result.compare(i, 2, "\xEF\xBD") == 0 && i + 2 < result.size()) {
      // Full-width a..z are U+FF41..U+FF5A (EF BD 81..9A), A..Z are U+FF21..U+FF3A (EF BC A1..BA).
      const auto trail = static_cast<unsigned char>(result[i + 2]);
      if (trail >= 0x81 && trail <= 0x9A) {
        result[i + 1] = '\xBC';
        result[i + 2] = static_cast<char>(trail + 0x20);
      }
    }
  }
  return result;
}

std::string ShiftJisBytes(std::string_view utf8) {
#ifdef _WIN32
  const int wideLength = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wideLength);
  const int length = WideCharToMultiByte(932, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(932, 0, wide.data(), wideLength, bytes.data(), length, nullptr, nullptr);
  return bytes;
#else
  const std::unique_ptr<void, int (*)(iconv_t)> converter(iconv_open("CP932", "UTF-8"), iconv_close);
  std::string bytes(utf8.size() * 2, '\0');
  auto *in = const_cast<char *>(utf8.data());
  auto *out = bytes.data();
  std::size_t inLeft = utf8.size(), outLeft = bytes.size();
  iconv(converter.get(), &in, &inLeft, &out, &outLeft);
  bytes.resize(bytes.size() - outLeft);
  return bytes;
#endif
}

std::string FakePlatform::ToShiftJis(std::string_view text) const { return ShiftJisBytes(text); }

std::string FakePlatform::FromShiftJis(std::string_view bytes) const {
#ifdef _WIN32
  const int wideLength = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), wideLength);
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, text.data(), length, nullptr, nullptr);
  return text;
#else
  // Opening a converter costs more than most conversions: one serves every call.
  static const std::unique_ptr<void, int (*)(iconv_t)> converter(iconv_open("UTF-8", "CP932"), iconv_close);
  iconv(converter.get(), nullptr, nullptr, nullptr, nullptr);
  std::string text;
  auto *in = const_cast<char *>(bytes.data());
  std::size_t inLeft = bytes.size();
  char buffer[256];
  while (inLeft > 0) {
    char *out = buffer;
    std::size_t outLeft = sizeof buffer;
    const auto converted = iconv(converter.get(), &in, &inLeft, &out, &outLeft);
    text.append(buffer, out);
    if (converted == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // As the system does: what starts no character becomes the code page's default, "・".
      text += "・";
      ++in;
      --inLeft;
    }
  }
  return text;
#endif
}

std::string FakePlatform::Key(const std::string &path) {
  if (const auto known = keys_.find(path); known != keys_.end())
    return known->second;
  std::string key = UpperCase(Absolute(path));
  for (const auto &[link, target] : links_) {
    if (key == link ||
        (key.size() > link.size() && key.compare(0, link.size(), link) == 0 && key[link.size()] == '\\')) {
      key = target + key.substr(link.size());
      break;
    }
  }
  return keys_.emplace(path, std::move(key)).first->second;
}

std::optional<int> FakePlatform::FailureFor(const std::string &operation, const std::string &path) {
  if (failures_.empty())
    return std::nullopt;
  const auto found = failures_.find(operation + "|" + Key(path));
  return found == failures_.end() ? std::nullopt : std::optional<int>(found->second);
}

void FakePlatform::Fail(const std::string &operation, const std::string &path, int errorCode) {
  failures_[operation + "|" + Key(path)] = errorCode;
}

std::string FakePlatform::FullPath(const std::string &path) {
  return Call([&] {
    const auto resolved = resolvedElsewhere_.find(UpperCase(Absolute(path)));
    return resolved == resolvedElsewhere_.end() ? Absolute(path) : resolved->second;
  });
}

std::string FakePlatform::Absolute(const std::string &written) const {
  if (written.empty())
    return written;
  // Windows takes "/" as "\\".
  std::string path = written;
  std::replace(path.begin(), path.end(), '/', '\\');
  std::string absolute;
  if (path.size() >= 2 && path[1] == ':')
    absolute = path.substr(0, 2) + "\\" + path.substr(2);
  else if (path.front() == '\\')
    absolute = workingFolder_.substr(0, 2) + path;
  else
    absolute = workingFolder_ + "\\" + path;

  // Views into `absolute`, no copies: some tests make hundreds of thousands of calls, under ASan.
  std::vector<std::string_view> parts;
  for (std::string_view rest = absolute;;) {
    const auto slash = rest.find('\\');
    const auto part = rest.substr(0, slash);
    if (part == "..") {
      if (parts.size() > 1)
        parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    if (slash == std::string_view::npos)
      break;
    rest.remove_prefix(slash + 1);
  }
  std::string full(parts.front());
  full += '\\';
  for (std::size_t i = 1; i < parts.size(); ++i)
    full.append(i > 1 ? "\\" : "").append(parts[i]);
  return full;
}

void FakePlatform::AddFolder(const std::string &path) {
  // The missing folders (key and path), made from the outermost in, so that each has its folder.
  std::vector<std::pair<std::string, std::string>> missing;
  for (auto key = Key(path), full = Absolute(path); !folders_.count(key);
       key = FolderPart(key), full = FolderPart(full)) {
    missing.emplace_back(key, full);
    if (FolderPart(key).empty() || FolderPart(key) == key)
      break;
  }
  for (auto made = missing.rbegin(); made != missing.rend(); ++made) {
    if (!TakeEntry(made->first, made->second, true))
      throw std::length_error("no room for " + made->second);
    folders_.insert(made->first);
  }
}

void FakePlatform::AddFile(const std::string &path, std::string content, unsigned attributes) {
  AddFolder(FolderPart(Absolute(path)));
  if (!TakeEntry(Key(path), path, false))
    throw std::length_error("no room for " + path);
  files_[Key(path)] = {std::move(content), attributes, ++writes_};
  names_[Key(path)] = Listed(Key(path), path);
}

void FakePlatform::SetLastWrite(const std::string &path, std::uint64_t fileTime) {
  auto &file = files_.at(Key(path));
  file.written = fileTime;
  file.timeSet = true;
}

void FakePlatform::SetProfileValue(const std::string &path, const std::string &section, const std::string &key,
                                   const std::string &value) {
  const auto file = files_.find(Key(path));
  AddFile(path, WriteProfileText(file == files_.end() ? "" : file->second.content, ToShiftJis(section), ToShiftJis(key),
                                 ToShiftJis(value)));
}

void FakePlatform::ReadTextFile(const std::string &path, const ChunkConsumer &consume) {
  Call([&] { ReadText(path, consume); });
}

void FakePlatform::ReadText(const std::string &path, const ChunkConsumer &consume) {
  Log("Read " + path);
  if (const auto code = FailureFor("Read", path))
    throw EInOutError(*code);
  if (folders_.count(Key(path)))
    throw EInOutError(kAccessDenied);
  const auto file = files_.find(Key(path));
  if (file == files_.end())
    throw EInOutError(folders_.count(Key(FolderPart(Absolute(path)))) ? kFileNotFound : kPathNotFound);
  const std::string_view content = file->second.content;
  for (std::size_t at = 0; at < content.size(); at += chunkSize_) {
    if (!consume(content.substr(at, chunkSize_)))
      return;
  }
}

std::optional<std::vector<Platform::XmlElement>> FakePlatform::ReadXmlElements(const std::string &path) {
  return Call([&] {
    ReadText(path, [](std::string_view) { return false; });
    const auto xml = xml_.find(Key(path));
    return xml == xml_.end() ? std::nullopt : std::optional(xml->second);
  });
}

void FakePlatform::AddXmlFile(const std::string &path, std::vector<XmlElement> elements) {
  AddFile(path, "<xml/>");
  xml_[Key(path)] = std::move(elements);
}

std::optional<std::string> FakePlatform::ReadWholeFile(const std::string &path) {
  return Call([&]() -> std::optional<std::string> {
    Log("ReadWhole " + path);
    if (FailureFor("Read", path) || folders_.count(Key(path)))
      return std::nullopt;
    const auto file = files_.find(Key(path));
    return file == files_.end() ? "" : file->second.content;
  });
}

bool FakePlatform::ReplaceWholeFile(const std::string &path, std::string_view bytes) {
  return Call([&] {
    Log("ReplaceWhole " + path);
    const auto file = files_.find(Key(path));
    if (FailureFor("Write", path) || !folders_.count(Key(FolderPart(Absolute(path)))) ||
        (file != files_.end() && (file->second.attributes & kReadOnly)) || !TakeEntry(Key(path), path, false))
      return false;
    if (file != files_.end())
      Account(file->first, file->second.content.size(), false);
    Account(Key(path), bytes.size(), true);
    AddFile(path, std::string(bytes), file == files_.end() ? kNormal : file->second.attributes);
    return true;
  });
}

bool FakePlatform::FileExists(const std::string &path) {
  return Call([&] {
    Log("Exists " + path);
    if (FailureFor("Exists", path))
      return false;
    return files_.count(Key(path)) != 0;
  });
}

std::vector<std::string> FakePlatform::ListFiles(const std::string &pattern) {
  return Call([&] {
    Log("List " + pattern);
    std::vector<std::string> names;
    if (FailureFor("List", pattern))
      return names;
    const auto folder = Key(FolderPart(Absolute(pattern)));
    const auto namePattern = UpperCase(FileNamePart(pattern));
    for (const auto &[key, file] : files_) {
      const auto upperName = FileNamePart(key);
      if (UpperCase(FolderPart(key)) != folder || (file.attributes & (kHidden | kSystem)))
        continue;
      if (Matches(namePattern, upperName) || Matches(namePattern, ShortExtensionForm(upperName)))
        names.push_back(FileNamePart(names_[key]));
    }
    return names;
  });
}

std::optional<std::vector<std::string>> FakePlatform::ListNames(const std::string &folder) {
  return Call([&]() -> std::optional<std::vector<std::string>> {
    Log("Names " + folder);
    if (FailureFor("List", folder) || !folders_.count(Key(folder)))
      return std::nullopt;
    std::vector<std::string> names;
    const auto folderKey = Key(folder);
    for (const auto &[key, file] : files_) {
      if (UpperCase(FolderPart(key)) != folderKey)
        continue;
      names.push_back(FileNamePart(names_[key]));
      if (ShortExtensionForm(FileNamePart(key)) != FileNamePart(key))
        names.push_back(ShortExtensionForm(FileNamePart(key)));
    }
    return names;
  });
}

bool FakePlatform::RemoveFile(const std::string &path) {
  return Call([&] {
    Log("Delete " + path);
    const auto file = files_.find(Key(path));
    // A file open for writing allows no removal, as Windows' sharing rules have it.
    if (FailureFor("Delete", path) || file == files_.end() || (file->second.attributes & kReadOnly) || Locked(path))
      return false;
    Account(file->first, file->second.content.size(), false);
    files_.erase(file);
    names_.erase(Key(path));
    if (auto *fat = FatOf(Key(path)))
      fat->Remove(Key(path), clock_);
    return true;
  });
}

Platform::CopyResult FakePlatform::CopyFileOver(const std::string &source, const std::string &target, bool makeNew,
                                                const std::function<void()> &whileCopying) {
  return Call([&] { return Copy(source, target, makeNew, whileCopying); },
              [&] {
                if (CopyStarts(source, target, makeNew))
                  WriteHalf(source, target);
              });
}

bool FakePlatform::CopyStarts(const std::string &source, const std::string &target, bool makeNew) {
  const auto to = files_.find(Key(target));
  return files_.count(Key(source)) && !FailureFor("Copy", source) && Key(source) != Key(target) && !Locked(target) &&
         folders_.count(Key(FolderPart(Absolute(target)))) &&
         (to == files_.end() || (!makeNew && !(to->second.attributes & (kReadOnly | kHidden | kSystem))));
}

void FakePlatform::WriteHalf(const std::string &source, const std::string &target) {
  const auto &content = files_.at(Key(source)).content;
  if (!TakeEntry(Key(target), target, false))
    return;
  File part{content.substr(0, content.size() / 2), kNormal, ++writes_};
  if (const auto to = files_.find(Key(target)); to != files_.end())
    Account(to->first, to->second.content.size(), false);
  Account(Key(target), part.content.size(), true);
  files_[Key(target)] = std::move(part);
  names_[Key(target)] = Listed(Key(target), target);
}

Platform::CopyResult FakePlatform::Copy(const std::string &source, const std::string &target, bool makeNew,
                                        const std::function<void()> &whileCopying) {
  Log("Copy " + source + " -> " + target);
  const auto from = files_.find(Key(source));
  try {
    whileCopying();
  } catch (...) {
    // Stopped by its caller, the copy has written the first half, as a copy in chunks leaves it; a
    // crash in the meantime has left the process no time for it.
    if (!dead_ && CopyStarts(source, target, makeNew))
      WriteHalf(source, target);
    throw;
  }
  const auto to = files_.find(Key(target));
  if (makeNew && to != files_.end())
    return CopyResult::TargetExists;
  if (FailureFor("Copy", source) || from == files_.end() || Key(source) == Key(target) ||
      (to != files_.end() && (to->second.attributes & (kReadOnly | kHidden | kSystem))) ||
      !folders_.count(Key(FolderPart(Absolute(target)))) || !TakeEntry(Key(target), target, false))
    return CopyResult::Failed;
  // A drive that has no room for the copy, once the file it replaces is gone, takes none of it.
  if (const auto space = freeSpace_.find(Key(target).substr(0, 2)); space != freeSpace_.end()) {
    const auto unit = space->second.allocationUnit;
    const auto clusters = [unit](std::uint64_t bytes) { return (bytes + unit - 1) / unit * unit; };
    if (clusters(from->second.content.size()) >
        space->second.freeBytes + (to == files_.end() ? 0 : clusters(to->second.content.size())))
      return CopyResult::Failed;
  }
  const bool interrupted = FailureFor("CopyPartly", source).has_value();
  File copy = from->second;
  // A whole copy keeps the source's time, as the system's does.
  copy.timeSet = copy.timeSet && !interrupted;
  if (!copy.timeSet)
    copy.written = ++writes_;
  copy.attributes = kNormal;
  if (interrupted)
    copy.content.resize(copy.content.size() / 2);
  if (to != files_.end())
    Account(to->first, to->second.content.size(), false);
  Account(Key(target), copy.content.size(), true);
  files_[Key(target)] = copy;
  names_[Key(target)] = Listed(Key(target), target);
  return interrupted ? CopyResult::Failed : CopyResult::Copied;
}

void FakePlatform::Account(const std::string &key, std::uint64_t bytes, bool taken) {
  const auto found = freeSpace_.find(key.substr(0, 2));
  if (found == freeSpace_.end())
    return;
  auto &space = found->second;
  const auto clusters = (bytes + space.allocationUnit - 1) / space.allocationUnit * space.allocationUnit;
  space.freeBytes = taken ? space.freeBytes - std::min(space.freeBytes, clusters) : space.freeBytes + clusters;
}

Platform::FileFacts FakePlatform::QueryFile(const std::string &path) {
  return Call([&]() -> FileFacts {
    Log("Query " + path);
    const auto file = files_.find(Key(path));
    if (file == files_.end())
      return {};
    const unsigned attributes = file->second.attributes;
    return {true,
            file->second.content.size(),
            file->second.written,
            (attributes & kReadOnly) != 0,
            (attributes & kHidden) != 0,
            (attributes & kSystem) != 0,
            (attributes & kNotOnDisk) != 0,
            file->second.used};
  });
}

std::string FakePlatform::FileIdentity(const std::string &path) {
  return Call([&]() -> std::string {
    const auto key = Key(path);
    if (!files_.count(key))
      return "";
    const auto *fat = FatOf(key);
    return fat ? fat->PlaceOf(key) : key;
  });
}

std::optional<Platform::DiskSpace> FakePlatform::FreeSpace(const std::string &folder) {
  return Call([&]() -> std::optional<DiskSpace> {
    Log("FreeSpace " + folder);
    const auto found = freeSpace_.find(Key(folder).substr(0, 2));
    if (!folders_.count(Key(folder)) || found == freeSpace_.end())
      return std::nullopt;
    return found->second;
  });
}

void FakePlatform::LinkFolder(const std::string &link, const std::string &target) {
  links_[UpperCase(Absolute(link))] = Key(target);
  keys_.clear();
}

void FakePlatform::SetFreeSpace(const std::string &drive, std::uint64_t freeBytes, std::uint64_t allocationUnit) {
  freeSpace_[UpperCase(drive)] = {freeBytes, allocationUnit};
}

std::optional<std::vector<Platform::FolderEntry>> FakePlatform::ListEntries(const std::string &folder) {
  return Call([&]() -> std::optional<std::vector<FolderEntry>> {
    Log("Entries " + folder);
    if (FailureFor("List", folder) || !folders_.count(Key(folder)))
      return std::nullopt;
    std::vector<FolderEntry> entries;
    const auto folderKey = Key(folder);
    if (auto *fat = FatOf(folderKey)) {
      const auto inOrder = fat->Folder(folderKey).InOrder();
      entries.reserve(inOrder.size());
      for (const auto &entry : inOrder) {
        const auto file = files_.find(entry.key);
        if (file == files_.end())
          entries.push_back({entry.name, true, fat->Folder(entry.key).Hidden(), false});
        else
          entries.push_back(
              {entry.name, false, (file->second.attributes & kHidden) != 0, (file->second.attributes & kSystem) != 0});
      }
      if (fat->ListsByName())
        std::stable_sort(entries.begin(), entries.end(), [&](const FolderEntry &a, const FolderEntry &b) {
          return UpperCase(a.name) < UpperCase(b.name);
        });
      return entries;
    }
    for (const auto &sub : folders_) {
      if (sub != folderKey && FolderPart(sub) == folderKey)
        entries.push_back({FileNamePart(sub), true, false, false});
    }
    for (const auto &[key, file] : files_) {
      if (FolderPart(key) == folderKey)
        entries.push_back(
            {FileNamePart(names_[key]), false, (file.attributes & kHidden) != 0, (file.attributes & kSystem) != 0});
    }
    return entries;
  });
}

std::string FakePlatform::FileSystemOf(const std::string &path) {
  return Call([&] {
    if (const auto *fat = FatOf(Key(path)))
      return fat->FileSystem();
    const auto found = fileSystems_.find(Key(path).substr(0, 2));
    return found == fileSystems_.end() ? std::string("NTFS") : found->second;
  });
}

Platform::MakeResult FakePlatform::MakeEmptyFile(const std::string &path) {
  return Call([&] {
    Log("Make " + path);
    return MakeNewFile(path, {}, kNormal);
  });
}

// Writes through the fake's calls, so that each counts, can fail and can be where the process stops.
class FakePlatform::FakeWritingFile final : public WritingFile {
public:
  FakeWritingFile(FakePlatform &fake, std::string path) : fake_(fake), path_(std::move(path)) {
    fake_.writing_.insert(fake_.Key(path_));
  }
  ~FakeWritingFile() override { fake_.writing_.erase(fake_.Key(path_)); }
  bool Append(std::string_view bytes) override { return fake_.AppendToFile(path_, bytes); }
  bool Cut(std::uint64_t size) override { return fake_.CutFile(path_, size); }

private:
  FakePlatform &fake_;
  std::string path_;
};

Platform::MadeFile FakePlatform::MakeHiddenFile(const std::string &path, std::string_view bytes) {
  return Call([&]() -> MadeFile {
    Log("MakeHidden " + path);
    const auto made = MakeNewFile(path, bytes, kHidden);
    if (made != MakeResult::Made)
      return {made, nullptr};
    return {made, std::make_unique<FakeWritingFile>(*this, path)};
  });
}

Platform::OpenedFile FakePlatform::OpenForWriting(const std::string &path) {
  return Call([&]() -> OpenedFile {
    Log("OpenForWriting " + path);
    const auto file = files_.find(Key(path));
    if (writing_.count(Key(path)))
      return {nullptr, true};
    if (FailureFor("Open", path) || file == files_.end() || (file->second.attributes & kReadOnly))
      return {nullptr, false};
    return {std::make_unique<FakeWritingFile>(*this, path), false};
  });
}

class FakePlatform::FakeHeldFile final : public Platform::HeldFile {
public:
  FakeHeldFile(FakePlatform &fake, std::string key) : fake_(fake), key_(std::move(key)) { fake_.held_.insert(key_); }
  ~FakeHeldFile() override { fake_.held_.erase(fake_.held_.find(key_)); }
  bool MarkUsed() override {
    return fake_.Call([&] {
      fake_.Log("MarkUsed " + key_);
      const auto file = fake_.files_.find(key_);
      if (file == fake_.files_.end())
        return false;
      file->second.used = ++fake_.uses_;
      return true;
    });
  }

private:
  FakePlatform &fake_;
  std::string key_;
};

std::unique_ptr<Platform::HeldFile> FakePlatform::HoldFile(const std::string &path) {
  return Call([&]() -> std::unique_ptr<HeldFile> {
    Log("Hold " + path);
    if (FailureFor("Hold", path) || !files_.count(Key(path)))
      return nullptr;
    return std::make_unique<FakeHeldFile>(*this, Key(path));
  });
}

Platform::MakeResult FakePlatform::MakeNewFile(const std::string &path, std::string_view bytes, unsigned attributes) {
  if (FailureFor("Make", path))
    return MakeResult::Failed;
  if (files_.count(Key(path)) || folders_.count(Key(path)))
    return MakeResult::Exists;
  if (!folders_.count(Key(FolderPart(Absolute(path)))))
    return MakeResult::Failed;
  if (!TakeEntry(Key(path), path, false, (attributes & kHidden) != 0))
    return MakeResult::FolderFull;
  Account(Key(path), bytes.size(), true);
  AddFile(path, std::string(bytes), attributes);
  return MakeResult::Made;
}

bool FakePlatform::AppendToFile(const std::string &path, std::string_view bytes) {
  return Call([&] {
    Log("Append " + path);
    const auto file = files_.find(Key(path));
    if (FailureFor("Append", path) || file == files_.end() || (file->second.attributes & kReadOnly))
      return false;
    Account(file->first, file->second.content.size(), false);
    file->second.content.append(bytes);
    Account(file->first, file->second.content.size(), true);
    return true;
  });
}

bool FakePlatform::CutFile(const std::string &path, std::uint64_t size) {
  return Call([&] {
    Log("Cut " + path);
    const auto file = files_.find(Key(path));
    if (FailureFor("Cut", path) || file == files_.end() || (file->second.attributes & kReadOnly) ||
        size > file->second.content.size())
      return false;
    Account(file->first, file->second.content.size(), false);
    file->second.content.resize(size);
    Account(file->first, file->second.content.size(), true);
    return true;
  });
}

Platform::MakeResult FakePlatform::MakeFolder(const std::string &path, bool hidden) {
  return Call([&] {
    Log("MakeFolder " + path);
    if (files_.count(Key(path)) || folders_.count(Key(path)))
      return MakeResult::Exists;
    if (!folders_.count(Key(FolderPart(Absolute(path)))))
      return MakeResult::Failed;
    if (!TakeEntry(Key(path), path, true, hidden))
      return MakeResult::FolderFull;
    folders_.insert(Key(path));
    return MakeResult::Made;
  });
}

Platform::MakeResult FakePlatform::MoveEntry(const std::string &from, const std::string &to) {
  return Call([&] {
    Log("Move " + from + " -> " + to);
    const auto file = files_.find(Key(from));
    if (FailureFor("Move", from) || file == files_.end() || !folders_.count(Key(FolderPart(Absolute(to)))) ||
        Locked(from))
      return MakeResult::Failed;
    if (Key(from) != Key(to) && (files_.count(Key(to)) || folders_.count(Key(to))))
      return MakeResult::Exists;
    auto *fat = FatOf(Key(from));
    if (fat != FatOf(Key(to)))
      return MakeResult::Failed; // the system moves nothing from one volume to another
    if (fat) {
      const auto before = fat->FolderBytes();
      const bool moved = fat->Move(Key(from), Key(to), FileNamePart(Absolute(to)), clock_);
      AccountFolders(*fat, Key(to), before);
      if (!moved)
        return MakeResult::FolderFull;
    }
    File moved = file->second;
    files_.erase(file);
    names_.erase(Key(from));
    files_[Key(to)] = moved;
    names_[Key(to)] = Listed(Key(to), to);
    return MakeResult::Made;
  });
}

bool FakePlatform::RemoveFolder(const std::string &path) {
  return Call([&] {
    Log("RemoveFolder " + path);
    const auto key = Key(path);
    for (const auto &[file, content] : files_) {
      if (FolderPart(file) == key)
        return false;
    }
    for (const auto &sub : folders_) {
      if (sub != key && FolderPart(sub) == key)
        return false;
    }
    if (!folders_.erase(key))
      return false;
    if (auto *fat = FatOf(key)) {
      const auto before = fat->FolderBytes();
      fat->Remove(key, clock_);
      AccountFolders(*fat, key, before);
    }
    return true;
  });
}

bool FakePlatform::HasFile(const std::string &path) { return files_.count(Key(path)) != 0; }

std::optional<std::string> FakePlatform::ContentOf(const std::string &path) {
  const auto file = files_.find(Key(path));
  return file == files_.end() ? std::nullopt : std::optional<std::string>(file->second.content);
}

std::optional<std::string> FakePlatform::ProfileValue(const std::string &path, const std::string &section,
                                                      const std::string &key) {
  const auto file = files_.find(Key(path));
  if (file == files_.end())
    return std::nullopt;
  const auto value = FindProfileText(file->second.content, ToShiftJis(section), ToShiftJis(key), 2048);
  return value ? std::optional<std::string>(FromShiftJis(*value)) : std::nullopt;
}

void FakePlatform::MountFat(const std::string &drive, const FatFormat &format) {
  const auto root = Key(drive + "\\");
  if (std::any_of(folders_.begin(), folders_.end(),
                  [&](const std::string &folder) { return folder.compare(0, 2, root, 0, 2) == 0; }))
    throw std::logic_error(drive + " holds files already");
  fatVolumes_.try_emplace(root.substr(0, 2), format, root);
  folders_.insert(root);
  // A drive tells its free space, in which a folder that grows shows; SetFreeSpace may set less.
  freeSpace_.try_emplace(root.substr(0, 2), DiskSpace{std::uint64_t{1} << 32, format.clusterBytes});
}

FatVolume *FakePlatform::FatOf(const std::string &key) {
  const auto found = fatVolumes_.find(key.substr(0, 2));
  return found == fatVolumes_.end() ? nullptr : &found->second;
}

bool FakePlatform::TakeEntry(const std::string &key, const std::string &path, bool folder, bool hidden) {
  auto *fat = FatOf(key);
  if (!fat)
    return true;
  const auto before = fat->FolderBytes();
  const bool taken = fat->Add(key, FileNamePart(Absolute(path)), folder, hidden, clock_);
  AccountFolders(*fat, key, before);
  return taken;
}

void FakePlatform::AccountFolders(const FatVolume &fat, const std::string &key, std::uint64_t before) {
  const auto after = fat.FolderBytes();
  if (after != before)
    Account(key, after > before ? after - before : before - after, after > before);
}

std::string FakePlatform::Listed(const std::string &key, const std::string &path) {
  const auto full = Absolute(path);
  const auto *fat = FatOf(key);
  return fat ? JoinPath(FolderPart(full), fat->NameOf(key)) : full;
}

std::size_t FakePlatform::FolderEntryCount(const std::string &folder) {
  return fatVolumes_.at(Key(folder).substr(0, 2)).Folder(Key(folder)).EntryCount();
}

std::vector<std::string> FakePlatform::FilesIn(const std::string &folder) {
  std::vector<std::string> names;
  for (const auto &[key, path] : names_) {
    if (UpperCase(FolderPart(key)) == Key(folder))
      names.push_back(FileNamePart(path));
  }
  return names;
}

} // namespace sf::testing
