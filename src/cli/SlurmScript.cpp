#include "cli/SlurmScript.h"

#include <sstream>

namespace korvane::cli {

namespace {

// Slurm expands %A, %a, %j … in log file names; %% stands for a plain percent sign.
std::string slurmFileNamePattern(const std::string& path) {
    std::string pattern;
    for (char c : path) {
        if (c == '%') pattern += '%';
        pattern += c;
    }
    return pattern;
}

std::string regionText(const PixelRegion& r) {
    return std::to_string(r.x0) + "," + std::to_string(r.y0) + "," + std::to_string(r.x1) + "," +
           std::to_string(r.y1);
}

// The sbatch options both jobs share: partition, working directory and log file (a file name
// pattern, `logName` with Slurm's placeholders).
std::string commonOptions(const FarmJob& job, const std::string& logName) {
    std::string options;
    if (job.partition) options += " --partition=" + shellQuoted(*job.partition);
    options += " --chdir=" + shellQuoted(job.directory);
    options += " --output=" + shellQuoted(slurmFileNamePattern(job.directory) + "/" + logName);
    return options;
}

}  // namespace

std::string farmTilePath(const FarmJob& job, size_t index) {
    return job.directory + "/tile-" + std::to_string(index) + ".kvtile";
}

std::string farmMergeJobName(const std::string& tileJobId) {
    return "korvane-merge-of-" + tileJobId;
}

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string slurmSubmitScript(const FarmJob& job) {
    const std::string program = shellQuoted(job.program);
    const std::string scene = shellQuoted(job.scene);
    std::ostringstream s;
    s << "#!/bin/sh\n"
      << "# Renders " << job.tiles.size() << " tiles of the " << job.width << " x " << job.height
      << " frame at quality level " << job.quality << " as a Slurm job array, then merges them\n"
      << "# into the finished image in a job that waits for every tile. Prints the two job ids.\n"
      << "set -eu\n"
      << "if [ ! -f " << scene << " ]; then\n"
      << "  echo \"korvane farm: \"" << scene << "\" is missing (korvane farm copies the scene there)\" >&2\n"
      << "  exit 1\n"
      << "fi\n\n";

    // The job scripts travel to the controller on sbatch's standard input; the quoted here-document
    // keeps the shell from expanding anything in them now.
    s << "tiles=$(sbatch --parsable --job-name=" << shellQuoted(job.jobName) << " --array=0-"
      << job.tiles.size() - 1 << commonOptions(job, "tile-%a.log") << " <<'TILES'\n"
      << "#!/bin/sh\n"
      << "set -eu\n"
      << "case \"$SLURM_ARRAY_TASK_ID\" in\n";
    for (size_t i = 0; i < job.tiles.size(); ++i)
        s << "  " << i << ") region=" << regionText(job.tiles[i])
          << " tile=" << shellQuoted(farmTilePath(job, i)) << " ;;\n";
    s << "  *) echo \"korvane farm: there is no tile $SLURM_ARRAY_TASK_ID\" >&2; exit 1 ;;\n"
      << "esac\n"
      << "exec " << program << " render " << scene << " --quality " << job.quality << " --width " << job.width
      << " --height " << job.height << " --region \"$region\" -o \"$tile\"\n"
      << "TILES\n"
      << ")\n"
      << "tiles=${tiles%%;*}\n\n";

    s << "if ! merge=$(sbatch --parsable --job-name=\"" << farmMergeJobName("$tiles") << "\""
      << " --dependency=\"afterok:$tiles\" --kill-on-invalid-dep=yes" << commonOptions(job, "merge.log")
      << " <<'MERGE'\n"
      << "#!/bin/sh\n"
      << "exec " << program << " merge " << scene;
    for (size_t i = 0; i < job.tiles.size(); ++i) s << " \\\n    " << shellQuoted(farmTilePath(job, i));
    s << " \\\n    -o " << shellQuoted(job.output) << "\n"
      << "MERGE\n"
      << ")\n"
      << "then\n"
      << "  scancel \"$tiles\" || true\n"
      << "  exit 1\n"
      << "fi\n"
      << "echo \"$tiles ${merge%%;*}\"\n";
    return s.str();
}

}  // namespace korvane::cli
