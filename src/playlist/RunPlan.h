#pragma once

#include "convert/Converter.h"
#include "platform/Platform.h"
#include "playlist/RunFacts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sf {

// What the user chose for a run.
struct RunOptions {
  bool addMode = false;      // keep the destination's files, numbers go on after its highest
  bool reverse = false;      // copy the playlist backwards
  bool numberTracks = false; // name each copy "NNN name", in copy order
  bool skipUnchanged = false;
  bool writePlayList = false; // leave a playlist file of the copies in the destination
  // Tracks the player cannot play (IsConvertedExtension) arrive as MP3s of this quality.
  std::optional<ConvertQuality> convertTo;
};

// What a run starts from: the playlist and where its tracks and the destination lie.
struct RunInput {
  std::string playList;             // the playlist file's path: its name names the playlist file
  std::string destination;          // resolved below the playlist's folder (DestinationFrom)
  std::vector<std::string> tracks;  // as the playlist writes them, for the messages
  std::vector<std::string> sources; // the files copied: the tracks resolved below the playlist's folder
  // By track, for a track that arrives as an MP3 made from it (ConvertedMarks): what that MP3 says it
  // was made from. Its source is the MP3 once made; until then, the track, which only the room's
  // check would take for its copy (PlanRun's `sizesKnown`).
  std::vector<std::optional<ConvertedMark>> converted;
};

// One track of a run's plan, in copy order.
struct PlannedTrack {
  std::int32_t track = 0; // its place in the playlist, from 0
  std::string name;       // the name of its copy in the destination
  // The track itself lies in the destination under that name: it is its own copy.
  bool liesThere = false;
  // Its copy lies in the destination under that name already, left as it was.
  bool left = false;
  // In add mode what lies there stays where it is: it takes no place in the order.
  bool outsideOrder = false;
  // A later track of the copy order has the same name: its copy is what stays, in its place.
  bool laterNamesake = false;
};

// A file the clearing deletes.
struct ClearedFile {
  std::string name; // in the destination
  Platform::FileFacts facts;
  std::string identity;
};

// Everything a run decides before it changes anything: what the clearing deletes, which copies are
// renamed, where each track's copy goes, and the playlist file.
struct RunPlan {
  std::vector<ClearedFile> deletions;
  std::vector<PlannedTrack> steps; // in copy order
  // By track: the file in the destination that already is its copy, left as it is.
  std::vector<std::optional<std::string>> leftAs;
  std::int32_t left = 0;
  std::vector<std::pair<std::string, std::string>> renames; // copies left, to be numbered anew
  // The playlist file the run writes into the destination.
  struct PlayListFile {
    std::string name;                  // under which a run that ends well writes it
    std::vector<std::string> copies;   // what it then lists
    std::vector<std::string> earlier;  // add mode: what the program's earlier file lists
    std::vector<std::string> ownNames; // the program's own files there now, under either name
  };
  std::optional<PlayListFile> playList;
  std::string fileSystem;
  bool keepsEntryOrder = false; // the destination lists its entries in their order on the disk
  // On such a destination, a file that the run replaces may wait aside until its replacement is in
  // place: there is room for both.
  bool mayHold = true;
};

// Decides the run from the facts. Throws ESFException for every refusal: a missing or unreadable
// track, a number past 999, a name the destination cannot take, a protected target, a namesake, too
// little room, a playlist file that is the user's. Changes nothing; `facts` asks the system. Before
// the tracks that convert are converted, their copies' sizes are not known: without `sizesKnown` the
// room is not checked.
RunPlan PlanRun(const RunInput &input, const RunOptions &options, RunFacts &facts, bool sizesKnown = true);

// By track, for RunInput::converted: the mark of the MP3 of each track that converts, from the
// track's facts; nothing for the others, and for a track that is missing (the plan refuses it).
std::vector<std::optional<ConvertedMark>> ConvertedMarks(const RunInput &input, const RunOptions &options,
                                                         RunFacts &facts);

// The name of a track's copy, before any number: the track's file name, with ".mp3" in place of its
// extension where it arrives as an MP3.
std::string CopyNameOf(const RunInput &input, std::int32_t track);

// Checks anew, once the clearing is done, that the copies fit: a file that another program holds
// stays, or frees its space only once that program lets go. Throws ESFException as PlanRun does.
void CheckRoomAfterClearing(const RunPlan &plan, RunFacts &facts);

} // namespace sf
