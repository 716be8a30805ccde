// Pieces of the C++ runtime compiled with our own processor floor (i586 with MMX), so that the
// runtime library's copies, built for later processors, are not linked in.
//
// - std::string's members: the runtime declares them extern and keeps one copy in libstdc++;
//   an explicit instantiation here makes the program use this one.
// - The runtime's error throwers (std::__throw_length_error and the rest): the library's copies
//   build std::logic_error and friends on the runtime's copy-on-write string and its random
//   device, all compiled with CMOV. Nothing in the program catches these errors, so each ends
//   the program as an uncaught throw would, without building the exception.
// - operator new and delete: the library's copies throw std::bad_alloc through the runtime's
//   unwinder; these end the program as that uncaught throw would (the nothrow forms return null).
// - CreateSemaphoreW, which the runtime's mutex (libgcc) calls without a name: Windows 98 only
//   has a stub that fails, so the import slot is filled here with the ANSI function.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

template class std::__cxx11::basic_string<char>;

namespace {

[[noreturn]] void _runtimeFail(const char *aWhat)
{
    std::fprintf(stderr, "Kestrel: runtime error: %s\n", aWhat ? aWhat : "");
    std::fflush(stderr);
    std::abort();
}

HANDLE WINAPI _createSemaphore(LPSECURITY_ATTRIBUTES aSecurity, LONG aInitial, LONG aMax, LPCWSTR aName)
{
    if (aName) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return nullptr;
    }
    return CreateSemaphoreA(aSecurity, aInitial, aMax, nullptr);
}

} // namespace

// The slot the runtime calls through; defined here, the import library's entry is never linked.
extern "C" HANDLE(WINAPI *const kCreateSemaphoreW)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR) __asm__(
    "__imp__CreateSemaphoreW@16") = _createSemaphore;

namespace std {

void __throw_bad_exception() { _runtimeFail("bad_exception"); }
void __throw_bad_alloc() { _runtimeFail("bad_alloc"); }
void __throw_bad_array_new_length() { _runtimeFail("bad_array_new_length"); }
void __throw_bad_cast() { _runtimeFail("bad_cast"); }
void __throw_bad_function_call() { _runtimeFail("bad_function_call"); }
void __throw_bad_typeid() { _runtimeFail("bad_typeid"); }
void __throw_logic_error(const char *aWhat) { _runtimeFail(aWhat); }
void __throw_domain_error(const char *aWhat) { _runtimeFail(aWhat); }
void __throw_invalid_argument(const char *aWhat) { _runtimeFail(aWhat); }
void __throw_length_error(const char *aWhat) { _runtimeFail(aWhat); }
void __throw_out_of_range(const char *aWhat) { _runtimeFail(aWhat); }
void __throw_out_of_range_fmt(const char *aFormat, ...) { _runtimeFail(aFormat); }
void __throw_runtime_error(const char *aWhat) { _runtimeFail(aWhat); }
void __throw_range_error(const char *aWhat) { _runtimeFail(aWhat); }
void __throw_overflow_error(const char *aWhat) { _runtimeFail(aWhat); }
void __throw_underflow_error(const char *aWhat) { _runtimeFail(aWhat); }

} // namespace std

void *operator new(std::size_t aSize)
{
    void *p = std::malloc(aSize ? aSize : 1);
    if (!p)
        _runtimeFail("out of memory");
    return p;
}

void *operator new[](std::size_t aSize)
{
    return operator new(aSize);
}

void *operator new(std::size_t aSize, const std::nothrow_t &) noexcept
{
    return std::malloc(aSize ? aSize : 1);
}

void *operator new[](std::size_t aSize, const std::nothrow_t &) noexcept
{
    return std::malloc(aSize ? aSize : 1);
}

void operator delete(void *aP) noexcept { std::free(aP); }
void operator delete[](void *aP) noexcept { std::free(aP); }
void operator delete(void *aP, std::size_t) noexcept { std::free(aP); }
void operator delete[](void *aP, std::size_t) noexcept { std::free(aP); }
void operator delete(void *aP, const std::nothrow_t &) noexcept { std::free(aP); }
void operator delete[](void *aP, const std::nothrow_t &) noexcept { std::free(aP); }
