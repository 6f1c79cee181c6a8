// The folders a scan never enters and the files it never looks at.
#pragma once

#include <array>
#include <string_view>

namespace quillmere::SkipRules {

inline constexpr std::string_view reviewDirectoryName = "_duplicates_review";

inline constexpr std::array<std::string_view, 7> systemDirectoryNames = {
    ".Spotlight-V100",           ".Trashes",   ".TemporaryItems",
    "System Volume Information", ".fseventsd", ".DocumentRevisions-V100",
    reviewDirectoryName};

inline constexpr std::array<std::string_view, 4> toolingDirectoryNames = {
    "node_modules", "Pods", "DerivedData", "__pycache__"};

/// Package extensions of photo and video applications' libraries, matched on the lower-cased name.
inline constexpr std::array<std::string_view, 5> managedLibrarySuffixes = {
    ".fcpbundle", ".photoslibrary", ".aplibrary", ".migratedaplibrary", ".lrlibrary"};

/// True for system, tooling, hidden (leading ".") and application-library folders.
bool shouldPrune(std::string_view directoryName);

/// True for "._" metadata companion files.
bool shouldSkip(std::string_view fileName);

} // namespace quillmere::SkipRules
