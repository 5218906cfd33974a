#pragma once

#include <string>
#include <vector>

namespace korvane::cli {

// One line of `squeue -o '%i|%T'` or `sacct -P -o JobID,State`: a job, or array tasks, and state.
struct SlurmJobRecord {
    std::string id;     // "12", "12_3", or "12_[4-7,9]" for tasks not started yet
    std::string state;  // "PENDING", "RUNNING", "COMPLETED", "CANCELLED by 0", …
};

// The records of `text`, one per non-empty line; lines without a '|' are skipped. Pure.
std::vector<SlurmJobRecord> parseSlurmJobRecords(const std::string& text);

// How far the farm render of tile job `tileJobId` has come, from the records of its tasks and of
// its merge job, as lines for people:
//   tiles (job 12): 2 completed, 1 running, 1 pending of 4
//   merge (job 13): pending
// A job without records is "not known to Slurm any more". Pure.
std::string describeFarmProgress(const std::string& tileJobId, const std::vector<SlurmJobRecord>& tiles,
                                 const std::vector<SlurmJobRecord>& merge);

}  // namespace korvane::cli
