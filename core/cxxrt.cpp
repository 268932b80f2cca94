// The few C++ runtime entry points the launcher stub takes from itself
// rather than from libstdc++.
//
// The launcher never catches an exception: an allocation failure or a
// broken container precondition would reach std::terminate, whose handler
// aborts. Ending the process here with the same abort keeps that outcome
// without linking the exception machinery (unwinder, personality routine,
// exception classes and the copy-on-write string they carry), which was
// about a third of the executable. Only the stub links this file; the test
// programs keep the library's own versions.
#include <cstdlib>
#include <new>

// Replaceable global allocation: as the library's, minus the throw.
void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) std::abort();
    return p;
}

void* operator new[](std::size_t size) { return operator new(size); }

namespace std {
void __throw_bad_alloc() { abort(); }
void __throw_bad_array_new_length() { abort(); }
void __throw_length_error(const char*) { abort(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_out_of_range(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_invalid_argument(const char*) { abort(); }
void __throw_bad_function_call() { abort(); }
}  // namespace std

// The terminate handler libstdc++ installs by default, and the symbol
// demangler it drags in, replaced by the plain abort it ends in anyway.
namespace __gnu_cxx {
void __verbose_terminate_handler() { abort(); }
}  // namespace __gnu_cxx
