#include "convert/ConverterProcesses.h"

#include "convert/ConverterMessages.h"
#include "convert/Mp3Converter.h"
#include "platform/win32/Utf16.h"

#include <windows.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <stdexcept>

namespace sf {
namespace {

// Room for a job with two long paths, so that handing one out never waits for the converter.
constexpr DWORD kPipeBuffer = 64 * 1024;
constexpr DWORD kReadSize = 4096;
// The wait ends for what the window must answer: input, paints, and what other threads and
// processes send or post. Timers are left out: a run lets none through.
constexpr DWORD kQueueWakes = QS_INPUT | QS_PAINT | QS_POSTMESSAGE | QS_SENDMESSAGE;
constexpr UINT kStoppedExitCode = 1;

KernelHandle NewEvent() { return KernelHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

KernelHandle Owned(HANDLE handle) { return KernelHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle); }

// The list of handles a new process inherits, as CreateProcessW takes it.
class InheritedHandles {
public:
  explicit InheritedHandles(HANDLE &handle) {
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    storage_.resize(size / sizeof(std::uint64_t) + 1);
    list_ = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
    if (!InitializeProcThreadAttributeList(list_, 1, 0, &size)) {
      list_ = nullptr;
      return;
    }
    if (!UpdateProcThreadAttribute(list_, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle, sizeof handle, nullptr,
                                   nullptr)) {
      DeleteProcThreadAttributeList(list_);
      list_ = nullptr;
    }
  }
  ~InheritedHandles() {
    if (list_)
      DeleteProcThreadAttributeList(list_);
  }
  InheritedHandles(const InheritedHandles &) = delete;
  InheritedHandles &operator=(const InheritedHandles &) = delete;

  LPPROC_THREAD_ATTRIBUTE_LIST List() const { return list_; }

private:
  std::vector<std::uint64_t> storage_; // aligned for the pointers inside
  LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

} // namespace

struct ConverterProcesses::Process {
  Process() { reading.hEvent = readDone.get(); }
  ~Process() {
    // The system writes into `reading` and `buffer` until the read is over.
    if (readPending && CancelIoEx(pipe.get(), &reading)) {
      DWORD ignored = 0;
      GetOverlappedResult(pipe.get(), &reading, &ignored, TRUE);
    }
  }
  Process(const Process &) = delete;
  Process &operator=(const Process &) = delete;

  void StartRead() {
    ResetEvent(readDone.get());
    reading = OVERLAPPED{};
    reading.hEvent = readDone.get();
    // Done at once or not, the event tells.
    readPending =
        ReadFile(pipe.get(), buffer.data(), kReadSize, nullptr, &reading) || GetLastError() == ERROR_IO_PENDING;
    ended = !readPending;
  }
  void FinishRead() {
    readPending = false;
    DWORD read = 0;
    if (GetOverlappedResult(pipe.get(), &reading, &read, FALSE))
      received.append(buffer.data(), read);
    else
      ended = true; // ERROR_BROKEN_PIPE: the converter's end closed, with the process
  }
  bool Write(std::string_view bytes) {
    OVERLAPPED writing{};
    writing.hEvent = writeDone.get();
    DWORD written = 0;
    if (!WriteFile(pipe.get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &writing) &&
        GetLastError() != ERROR_IO_PENDING)
      return false;
    return GetOverlappedResult(pipe.get(), &writing, &written, TRUE) && written == bytes.size();
  }

  KernelHandle process;
  KernelHandle pipe; // the run's end, overlapped
  KernelHandle readDone = NewEvent();
  KernelHandle writeDone = NewEvent();
  OVERLAPPED reading{};
  std::array<char, kReadSize> buffer{};
  bool readPending = false;
  bool ended = false; // its pipe broke: the process has ended
  bool busy = false;
  std::string received;
};

ConverterProcesses::ConverterProcesses(std::string program) : program_(std::move(program)) {}

ConverterProcesses::~ConverterProcesses() { Stop(); }

int ConverterProcesses::Processors() const { return static_cast<int>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS)); }

int ConverterProcesses::Start(int count) {
  Stop();
  job_ = KernelHandle(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  // Ended with the program however it ends; a converter that crashes ends without the system's box.
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
  if (!job_ || !SetInformationJobObject(job_.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
    return 0;
  for (int number = 0; number < count; ++number) {
    auto process = Launch(number);
    if (!process)
      break;
    processes_.push_back(std::move(process));
  }
  return static_cast<int>(processes_.size());
}

std::unique_ptr<ConverterProcesses::Process> ConverterProcesses::Launch(int number) {
  auto converter = std::make_unique<Process>();
  // A name of this run's own: the first instance, or none.
  const std::wstring name = L"\\\\.\\pipe\\Songferry-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(reinterpret_cast<std::uintptr_t>(this)) + L"-" + std::to_wstring(number);
  converter->pipe =
      Owned(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                             PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
                             kPipeBuffer, kPipeBuffer, 0, nullptr));
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  // Opened by the run itself, so that no other program can take the converter's place.
  const KernelHandle theirs =
      Owned(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, 0, nullptr));
  if (!converter->pipe || !converter->readDone || !converter->writeDone || !theirs)
    return nullptr;
  HANDLE inherited = theirs.get();
  const InheritedHandles handles(inherited);
  if (!handles.List())
    return nullptr;
  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  // It opens no window: no "working in background" pointer for it.
  startup.StartupInfo.dwFlags = STARTF_FORCEOFFFEEDBACK;
  startup.lpAttributeList = handles.List();
  const std::wstring program = Widen(program_);
  std::wstring commandLine = L"\"" + program + L"\" " + Widen(kConverterSwitch) + L" " +
                             std::to_wstring(reinterpret_cast<std::uintptr_t>(inherited));
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                      CREATE_SUSPENDED | BELOW_NORMAL_PRIORITY_CLASS | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                      &startup.StartupInfo, &started))
    return nullptr;
  converter->process = KernelHandle(started.hProcess);
  const KernelHandle thread(started.hThread);
  // In the job before it runs a single instruction: nothing it starts can outlive the program.
  if (!AssignProcessToJobObject(job_.get(), converter->process.get())) {
    TerminateProcess(converter->process.get(), kStoppedExitCode);
    WaitForSingleObject(converter->process.get(), INFINITE);
    return nullptr;
  }
  // Wine takes no priority from the creation flags.
  SetPriorityClass(converter->process.get(), BELOW_NORMAL_PRIORITY_CLASS);
  ResumeThread(thread.get());
  return converter;
}

void ConverterProcesses::Give(int converter, const ConvertJob &job, const std::string &target) {
  Process &process = *processes_.at(static_cast<std::size_t>(converter));
  process.busy = true;
  // One that cannot take the job has ended: Wait says so.
  if (!process.ended && !process.Write(JobMessage(job, target)))
    process.ended = true;
}

ConverterPool::Report ConverterProcesses::Wait(const std::function<void()> &look) {
  for (;;) {
    std::vector<HANDLE> events;
    std::vector<int> owners;
    for (int number = 0; number < static_cast<int>(processes_.size()); ++number) {
      Process &process = *processes_[static_cast<std::size_t>(number)];
      if (!process.busy)
        continue;
      if (auto report = TakeMessage(process.received)) {
        process.busy = false;
        return {number, false, std::move(*report)};
      }
      if (!process.ended && !process.readPending)
        process.StartRead();
      if (process.ended) {
        process.busy = false;
        return {number, true, {}};
      }
      events.push_back(process.readDone.get());
      owners.push_back(number);
    }
    if (events.empty())
      throw std::logic_error("no converter is at work");
    const auto count = static_cast<DWORD>(events.size());
    const DWORD woke = MsgWaitForMultipleObjectsEx(count, events.data(), INFINITE, kQueueWakes, 0);
    if (woke == WAIT_OBJECT_0 + count) {
      // What the queue holds now counts as seen, whatever `look` leaves there: the wait ends again
      // only for what comes after.
      GetQueueStatus(kQueueWakes);
      look();
    } else if (woke < WAIT_OBJECT_0 + count) {
      processes_[static_cast<std::size_t>(owners[woke - WAIT_OBJECT_0])]->FinishRead();
    } else {
      // Nothing more can be learnt of the converters.
      for (const int number : owners)
        processes_[static_cast<std::size_t>(number)]->ended = true;
    }
  }
}

void ConverterProcesses::Stop() {
  if (processes_.empty())
    return;
  TerminateJobObject(job_.get(), kStoppedExitCode);
  // A process's handle is signalled once it has ended and the system has closed its files.
  std::vector<HANDLE> ending;
  for (const auto &process : processes_)
    ending.push_back(process->process.get());
  WaitForMultipleObjects(static_cast<DWORD>(ending.size()), ending.data(), TRUE, INFINITE);
  processes_.clear();
}

int ConverterProcesses::Running() const {
  JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
  if (!job_ || !QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &accounting,
                                          sizeof accounting, nullptr))
    return 0;
  return static_cast<int>(accounting.ActiveProcesses);
}

unsigned long ConverterProcesses::ProcessId(int converter) const {
  return GetProcessId(processes_.at(static_cast<std::size_t>(converter))->process.get());
}

int ServeConversions(std::string_view pipeNumber) {
  std::uintptr_t value = 0;
  const auto [end, error] = std::from_chars(pipeNumber.data(), pipeNumber.data() + pipeNumber.size(), value);
  if (error != std::errc{} || end != pipeNumber.data() + pipeNumber.size())
    return 2;
  const auto pipe = reinterpret_cast<HANDLE>(value);
  // A converter that crashes ends without the system's box: the run tells the user.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  Mp3Converter converter;
  std::string received;
  std::array<char, kReadSize> buffer{};
  for (;;) {
    std::optional<std::string> message;
    while (!(message = TakeMessage(received))) {
      DWORD read = 0;
      // The run closed its end: the work is over.
      if (!ReadFile(pipe, buffer.data(), kReadSize, &read, nullptr))
        return 0;
      received.append(buffer.data(), read);
    }
    const auto job = ReadJob(*message);
    if (!job)
      return 3;
    std::string report;
    try {
      report = ReportMessage(converter.Convert(job->job, job->target, [] {}));
    } catch (...) {
      // Without a report the run takes the converter for dead, which it is.
      return 4;
    }
    DWORD written = 0;
    if (!WriteFile(pipe, report.data(), static_cast<DWORD>(report.size()), &written, nullptr))
      return 0;
  }
}

} // namespace sf
