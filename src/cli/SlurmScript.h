#pragma once

#include <optional>
#include <string>
#include <vector>

#include "renderer/YafarayRenderer.h"

namespace korvane::cli {

// What a farm render runs: every path absolute and reachable from the cluster's nodes (the farm
// directory lies on storage they share).
struct FarmJob {
    std::string program;    // the korvane program on the nodes
    std::string scene;      // the scene document, a copy inside `directory`
    std::string directory;  // holds the scene, the tiles and the jobs' logs
    std::string output;     // the merged image
    std::string jobName;    // the tile job's name in the queue
    std::optional<std::string> partition;
    int quality = 0;
    int width = 0;
    int height = 0;
    std::vector<PixelRegion> tiles;
};

// The tile file of tile `index` in the farm directory.
std::string farmTilePath(const FarmJob& job, size_t index);

// The name the merge job of tile job `tileJobId` has in the queue, so that `farm --status` finds it.
std::string farmMergeJobName(const std::string& tileJobId);

// `text` as one word for the POSIX shell: in single quotes, each ' written as '\''.
std::string shellQuoted(const std::string& text);

// A POSIX shell script that submits the farm render with sbatch: a job array with one task per
// tile (task i renders tile i with `korvane render --region`) and a merge job that starts once
// every task succeeded and writes `output`; it is cancelled when a tile fails. Cancels the tiles
// again when the merge job cannot be submitted. Prints "TILEJOB MERGEJOB" on success. Pure; the
// paths must hold no line breaks.
std::string slurmSubmitScript(const FarmJob& job);

}  // namespace korvane::cli
