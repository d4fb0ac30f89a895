#pragma once

namespace platform {

// How a path string is taken apart: Windows ("\" and drive letters) or Posix ("/").
enum class PathStyle { Windows, Posix };

#ifdef Q_OS_WIN
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

} // namespace platform

using platform::PathStyle;
