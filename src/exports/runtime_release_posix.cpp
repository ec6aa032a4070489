// libpushnote.so carries its own copy of the C++ run-time library, so that
// loading it loads no libstdc++. That copy sets aside a pool for exceptions
// thrown while memory runs out; nothing frees it when a host unloads the
// library, so it is handed back here, as the run-time library does itself
// for memory checkers at exit.
namespace __gnu_cxx {
void __freeres() noexcept;
}  // namespace __gnu_cxx

namespace {

[[gnu::destructor]] void ReleaseRuntimeMemory() {
    __gnu_cxx::__freeres();
}

}  // namespace
