// The DLL's terminate handler. Every export is noexcept and catches what its
// body throws, so terminate means a fault in the library; the handler that the
// static C++ run-time brings by default would print the exception's demangled
// type on standard error, which a DLL's host (Office, a service) seldom has,
// and links a demangler and a printf into the DLL (about 50 KB). Defining it
// here keeps the run-time's own out of the link; terminate still aborts.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    std::abort();
}

}  // namespace __gnu_cxx
