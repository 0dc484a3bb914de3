// A run's record as the next run reads it, whatever its bytes: the reader throws nothing, every step
// it accepts names only what a run makes in its destination, and written back it reads the same. The
// undo of any record leaves everything beside the destination as it was.
#include "FakePlatform.h"
#include "platform/PathParts.h"
#include "playlist/RecordedUndo.h"
#include "playlist/RunRecord.h"
#include "playlist/SFException.h"

#include <cstdlib>

namespace {

bool StaysInside(const std::string &name) {
  return !name.empty() && name.find_first_of("\\/:") == std::string::npos && name != "." && name != ".." &&
         sf::IsUsableFileName(name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char *>(data), size);
  const auto reading = sf::ReadRecord(bytes);
  if (reading.wholeLength > bytes.size())
    std::abort();
  if (reading.steps) {
    for (const auto &step : *reading.steps) {
      if (step.kind != sf::RecordedStep::Kind::Undone && !StaysInside(step.name))
        std::abort();
      if (step.kind == sf::RecordedStep::Kind::Hold && (!StaysInside(step.folder) || !StaysInside(step.held) ||
                                                        (step.held != step.name && step.held != step.renamedTo)))
        std::abort();
    }
    if (sf::ReadRecord(sf::RecordText(*reading.steps, true)).steps != reading.steps)
      std::abort();
  }

  if (!reading.isRecord)
    return 0;
  // The record in a destination beside a folder of the user's, and the undo as the next run makes it.
  sf::testing::FakePlatform fake;
  fake.AddFile("E:\\Mine\\precious.mp3", "precious");
  fake.AddFolder("E:\\Empty");
  fake.AddFile("E:\\Dest\\keep.mp3", "keep");
  fake.AddFile("E:\\Dest\\~Songferry run record.txt", bytes, sf::testing::FakePlatform::kHidden);
  try {
    if (auto undo = sf::RecordedUndo::Find(fake, "E:\\Dest", fake.ListNames("E:\\Dest")); undo && undo->Stuck().empty())
      undo->Run();
  } catch (const sf::ESFException &) {
    // Refused: nothing was changed.
  }
  const auto mine = fake.ListNames("E:\\Mine"), empty = fake.ListNames("E:\\Empty");
  if (fake.ContentOf("E:\\Mine\\precious.mp3") != "precious" || !mine || mine->size() != 1 || !empty || !empty->empty())
    std::abort();
  return 0;
}
