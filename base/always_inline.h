#pragma once
// Inlining that the compiler must do: code written once for several
// instruction sets is inlined into each set's entry point, so that it is
// compiled for that set.
#if defined(__GNUC__)
#define VELUNT_ALWAYS_INLINE [[gnu::always_inline]] inline
#else
#define VELUNT_ALWAYS_INLINE inline
#endif
