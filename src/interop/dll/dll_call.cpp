#include "interop/dll/dll_call.h"

#include <dlfcn.h>
#include <ffi.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <memory>
#include <stdexcept>

#include "platform/lazy_library.h"
#include "platform/standard_output.h"
#include "text/number.h"

namespace sorane {
namespace {

// ---------------------------------------------------------------- libffi

// libffi is opened when a declared function is first called, so a run that
// calls none never maps it: its functions, and the descriptions of the types
// the parameter letters name (data it exports), through pointers of their own
// names (platform/lazy_library.h), set once LoadFfi() is true. The pointer
// named for a description holds its address.
// clang-format off
#define SORANE_FFI_SYMBOLS(F)                                                           \
  F(ffi_prep_cif) F(ffi_call) F(ffi_type_void) F(ffi_type_pointer) F(ffi_type_uint16)  \
  F(ffi_type_uint32) F(ffi_type_sint32) F(ffi_type_double)
// clang-format on
SORANE_FFI_SYMBOLS(SORANE_LAZY_DEFINE)
SORANE_LAZY_LOADER(LoadFfi, SORANE_FFI_SYMBOLS, "libffi.so.8", "libffi8")

// ---------------------------------------------------------------- faults

// While a function runs, these signals mean it failed in a way the process
// cannot recover from: its memory, the heap or the stack may be damaged.
constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr size_t kFaultCount = std::size(kFaultSignals);
struct sigaction g_previous[kFaultCount];
const char* g_report = nullptr;
size_t g_report_size = 0;

void RestorePrevious() {
  for (size_t k = 0; k < kFaultCount; ++k) sigaction(kFaultSignals[k], &g_previous[k], nullptr);
}

// Only async-signal-safe calls: write, sigaction, raise. The report is made
// before the call.
void OnFault(int sig, siginfo_t* info, void*) {
  const char* p = g_report;
  size_t left = p ? g_report_size : 0;
  while (left > 0) {
    ssize_t n = write(STDERR_FILENO, p, left);
    if (n <= 0) break;
    p += n;
    left -= static_cast<size_t>(n);
  }
  RestorePrevious();
  // A fault of the instruction itself happens again when the handler returns
  // and now meets the previous disposition (by default the process ends with
  // the signal); a signal that was sent (abort raises SIGABRT) is sent again.
  if (!info || info->si_code <= 0) raise(sig);
}

// A function that overflows its stack can only be reported on another one.
// The thread keeps the one it has (the sanitizers set their own) or gets one.
void EnsureAlternateStack() {
  static thread_local bool ensured = false;
  if (ensured) return;
  ensured = true;
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
  constexpr size_t kSize = 64 << 10;
  static thread_local std::unique_ptr<char[]> memory(new char[kSize]);
  stack_t mine{};
  mine.ss_sp = memory.get();
  mine.ss_size = kSize;
  sigaltstack(&mine, nullptr);
}

// Installs the fault handler for the time of one call.
class FaultGuard {
 public:
  explicit FaultGuard(const std::string& report) {
    EnsureAlternateStack();
    g_report = report.data();
    g_report_size = report.size();
    struct sigaction action {};
    action.sa_sigaction = OnFault;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    for (size_t k = 0; k < kFaultCount; ++k) sigaction(kFaultSignals[k], &action, &g_previous[k]);
  }
  ~FaultGuard() {
    RestorePrevious();
    g_report = nullptr;
  }
  FaultGuard(const FaultGuard&) = delete;
  FaultGuard& operator=(const FaultGuard&) = delete;
};

// ---------------------------------------------------------------- values

// The number truncated toward zero, modulo 2^64: its low bits as a two's
// complement integer has them. Not a number and infinities give 0.
uint64_t LowBits(Number v) {
  if (!std::isfinite(v)) return 0;
  const Number k2to64 = 18446744073709551616.0L;
  Number m = std::fmod(std::trunc(v), k2to64);
  if (m < 0) m += k2to64;
  if (m >= k2to64) return 0;
  return static_cast<uint64_t>(m);
}

// (libffi is loaded.)
ffi_type* TypeOf(char letter) {
  switch (letter) {
    case 'v':
      return ffi_type_void;
    case 'p':
    case 'n':
      return ffi_type_pointer;
    case 'w':
      return ffi_type_uint16;
    case 'd':
      return ffi_type_uint32;
    case 'b':
    case 'i':
      return ffi_type_sint32;
    case 'f':
      return ffi_type_double;
    default:
      return nullptr;
  }
}

union ArgValue {
  uint16_t w;
  uint32_t d;
  int32_t i;
  double f;
  char* p;
};

// Large enough for every result: libffi widens small integers to ffi_arg.
union ResultValue {
  ffi_arg a;
  double f;
  void* p;
};

}  // namespace

void* OpenLibrary(const std::vector<std::string>& os_names) {
  for (const std::string& name : os_names) {
    // A NUL would end the name early: another file than the one named.
    if (name.empty() || name.find('\0') != std::string::npos) continue;
    if (void* h = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE)) return h;
  }
  return nullptr;
}

void CloseLibrary(void* handle) {
  if (handle) dlclose(handle);
}

void* FindFunction(void* handle, const std::string& name) {
  if (!handle || name.empty() || name.find('\0') != std::string::npos) return nullptr;
  return dlsym(handle, name.c_str());
}

bool CallNative(void* proc, char result, std::string_view params,
                const std::vector<std::string>& args, const std::string& fault_report,
                NativeResult& out) {
  size_t count = 0;
  for (char letter : params)
    if (letter != 'v') ++count;
  if (count != args.size()) throw std::invalid_argument("DLL call: arguments and letters differ");
  if (!LoadFfi()) return false;  // (nothing can be called)
  // Sized once: the pointers handed to libffi point into these.
  std::vector<ArgValue> values(count);
  std::vector<std::string> copies(count);
  std::vector<ffi_type*> types;
  std::vector<void*> pointers;
  size_t k = 0;
  for (char letter : params) {
    if (letter == 'v') continue;
    ffi_type* type = TypeOf(letter);
    if (!type || type == ffi_type_void || letter == 'n')
      throw std::invalid_argument("DLL call: unknown parameter letter");
    ArgValue& v = values[k];
    if (letter == 'p') {
      copies[k] = args[k];
      v.p = copies[k].data();
    } else {
      Number n = ParseNumber(args[k]);
      uint64_t bits = LowBits(n);
      switch (letter) {
        case 'w':
          v.w = static_cast<uint16_t>(bits);
          break;
        case 'd':
          v.d = static_cast<uint32_t>(bits);
          break;
        case 'b':
          v.i = n != 0 ? -1 : 0;
          break;
        case 'i':
          v.i = static_cast<int32_t>(static_cast<uint32_t>(bits));
          break;
        default:
          v.f = static_cast<double>(n);
      }
    }
    types.push_back(type);
    pointers.push_back(&v);
    ++k;
  }
  ffi_type* result_type = TypeOf(result);
  ffi_cif cif;
  if (!result_type || ffi_prep_cif(&cif, FFI_DEFAULT_ABI, static_cast<unsigned>(types.size()),
                                   result_type, types.data()) != FFI_OK)
    throw std::invalid_argument("DLL call: the call cannot be prepared");

  ResultValue r{};
  {
    StandardOutputCall call;
    std::fflush(stdout);
  }
  {
    FaultGuard guard(fault_report);
    ffi_call(&cif, FFI_FN(proc), &r, pointers.data());
  }

  out.type = "e";
  switch (result) {
    case 'v':
      out.value.clear();
      break;
    case 'p':
      if (!r.p) return false;
      out.value = static_cast<const char*>(r.p);
      out.type = "s";
      break;
    case 'n':
      out.value = std::to_string(reinterpret_cast<intptr_t>(r.p));
      break;
    case 'w':
      out.value = std::to_string(static_cast<uint16_t>(r.a));
      break;
    case 'd':
      out.value = std::to_string(static_cast<uint32_t>(r.a));
      break;
    case 'b':
    case 'i':
      out.value = std::to_string(static_cast<int32_t>(static_cast<uint32_t>(r.a)));
      break;
    default:
      out.value = FormatNumber(r.f);
  }
  return true;
}

}  // namespace sorane
