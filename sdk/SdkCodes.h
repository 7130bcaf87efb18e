#pragma once

// The result codes the SDK itself gives (their texts are in ReasonText) and its own limits. Internal to the SDK.

#include <cstddef>

namespace sdk_internal {

inline constexpr int kInvalidPort = 68;
inline constexpr int kTimeout = 402;
inline constexpr int kUnableToConnect = 429;
inline constexpr int kNoConnection = 439;
inline constexpr int kNotInitialized = 444;
inline constexpr int kNoInstance = 445;
inline constexpr int kOutBufferFull = 446;
inline constexpr int kInvalidCallback = 447;
inline constexpr int kInvalidAttribute = 448;
inline constexpr int kTypeMismatch = 449;
inline constexpr int kStringTooLong = 450;
inline constexpr int kVersionMismatch = 454;
inline constexpr int kProtocolError = 463;
inline constexpr int kConnectionLost = 471;
inline constexpr int kWaitInProgress = 475;
inline constexpr int kCantResolve = 500;
inline constexpr int kInvalidArgument = 505;

inline constexpr std::size_t kMaxOutputBytes = 4 * 1024 * 1024;
inline constexpr std::size_t kReadChunk = 256 * 1024;
inline constexpr int kNoCallback = -1;

} // namespace sdk_internal
