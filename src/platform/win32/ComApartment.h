#pragma once

#include <objbase.h>

namespace sf {

// COM on the program's one thread, as a single-threaded apartment, while it lives. The program's
// thread is one for as long as the program runs; the shell's folder tree, Media Foundation and the
// imaging component each count it up and down again, or make one for their time where the thread has
// none. Only a successful initialisation (S_FALSE included) is balanced by CoUninitialize; a thread in
// the multithreaded apartment (RPC_E_CHANGED_MODE) serves them as well.
class ComApartment {
public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_))
      CoUninitialize();
  }
  ComApartment(const ComApartment &) = delete;
  ComApartment &operator=(const ComApartment &) = delete;

  HRESULT Result() const { return result_; }

private:
  HRESULT result_;
};

} // namespace sf
