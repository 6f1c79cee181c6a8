// The usage text, printed by --help and after every error message.
#pragma once

#include <string_view>

namespace quillmere::cli {

/// 36 lines, without a line break after the last.
inline constexpr std::string_view usageText =
    R"usage(quillmere — find duplicate photos and videos (read-only)

USAGE
  quillmere <folder> [<folder> ...] [options]
  quillmere --undo <manifest.json>

OPTIONS
  --include <subdir>   Scan only this subdirectory of each folder given.
                       Repeatable. Omit to scan each whole folder.
  --out <path>         Report path. Default: ./quillmere_report.txt
                       The CSV sidecar is written alongside it as <name>.csv
  --move               After scanning, move every REMOVE file into
                       _duplicates_review/ inside whichever folder it was
                       found under, keeping its folder structure. Each file
                       is re-checked byte for byte against the copy that
                       stays behind, immediately before it is moved. Nothing
                       is ever deleted, and a file never has to leave the
                       drive it started on.
  --yes                Skip the confirmation prompt for --move.
  --undo <manifest>    Put every file in a manifest back where it was.
  --similar            Find photos that show the same picture at another
                       size, quality or format, instead of identical files.
                       Only reports; not with --move or --undo.
  --quiet              No progress output.
  -h, --help           This message.

EXAMPLES
  quillmere "/media/$USER/Extreme Pro" --include Photos --include Video --include 2026
  quillmere "/media/$USER/Extreme Pro" "/media/$USER/Backup" --move
  quillmere ~/Pictures "/media/$USER/Extreme Pro" ~/Downloads
  quillmere --undo "/media/$USER/Extreme Pro/_duplicates_review/_quillmere_manifest_*.json"

Passing more than one folder finds duplicates across all of them, not just
within each one on its own. Without --move the scan is read-only. With
--move, each file is relocated within the drive it was found on — never
deleted, and never moved to a different volume — and the move is reversible.)usage";

} // namespace quillmere::cli
