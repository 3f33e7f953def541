#pragma once
// Inlining that the compiler must do: code written once for several
// instruction sets is inlined into each set's entry point, so that it is
// compiled for that set. And inlining it must not do: a hot loop in a
// function of its own keeps its values in registers.
#if defined(__GNUC__)
#define VELUNT_ALWAYS_INLINE [[gnu::always_inline]] inline
#define VELUNT_NEVER_INLINE [[gnu::noinline]]
#elif defined(_MSC_VER)
#define VELUNT_ALWAYS_INLINE inline
#define VELUNT_NEVER_INLINE __declspec(noinline)
#else
#define VELUNT_ALWAYS_INLINE inline
#define VELUNT_NEVER_INLINE
#endif
