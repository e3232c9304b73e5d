// Whether this build runs under AddressSanitizer or ThreadSanitizer, told the
// way GCC (__SANITIZE_*__) and clang (__has_feature) tell it. Their shadow
// memory does not fit under an address-space limit, so the tests that set
// one are skipped in those builds; memory exhaustion is tested in the plain build.
#pragma once

namespace testsupport {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitizerBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kSanitizerBuild = true;
#else
inline constexpr bool kSanitizerBuild = false;
#endif
#else
inline constexpr bool kSanitizerBuild = false;
#endif

}  // namespace testsupport
