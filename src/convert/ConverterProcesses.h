#pragma once

#include "convert/ConverterPool.h"
#include "platform/win32/KernelHandle.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sf {

// The switch that starts the program as a converter, followed by the handle of its pipe: no user
// needs it.
inline constexpr char kConverterSwitch[] = "--converter";

// Converters that are processes of the program itself, started with kConverterSwitch, each with an
// overlapped pipe to the run. The run's thread waits on their pipes and on its queue together. They
// run below normal priority, so that the PC stays usable, inherit no handle but their pipe, and lie
// in a job object that ends them when the run lets go of it, or when the program ends, however it
// ends.
class ConverterProcesses final : public ConverterPool {
public:
  // `program`: the program's own path.
  explicit ConverterProcesses(std::string program);
  ~ConverterProcesses() override;
  ConverterProcesses(const ConverterProcesses &) = delete;
  ConverterProcesses &operator=(const ConverterProcesses &) = delete;

  int Processors() const override;
  int Start(int count) override;
  void Give(int converter, const ConvertJob &job, const std::string &target) override;
  Report Wait(const std::function<void()> &look) override;
  void Stop() override;

  // The converters' processes that have not ended, as their job object counts them.
  int Running() const;
  // The system's number of the converter's process.
  unsigned long ProcessId(int converter) const;

private:
  struct Process;
  // Starts the converter numbered `number`; nothing when it would not start.
  std::unique_ptr<Process> Launch(int number);

  std::string program_;
  KernelHandle job_;
  std::vector<std::unique_ptr<Process>> processes_;
};

// The converter process's work: takes jobs from the pipe of handle `pipe` (as written on its command
// line), converts each with Mp3Converter and reports how it went, until the run closes the pipe.
// Returns the process's exit code.
int ServeConversions(std::string_view pipe);

} // namespace sf
