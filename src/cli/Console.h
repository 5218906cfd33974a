#pragma once

// Where a command's output goes. Standard output carries only what a script may parse: results
// (info, lists, dry-run scripts, job ids) and the "wrote FILE" lines; progress, engine diagnostics
// and errors go to standard error. --quiet leaves only results and errors; --verbose adds the
// diagnostics of the engine and the renderer.
#include <ostream>
#include <string>

namespace korvane::cli {

enum class Verbosity { quiet, normal, verbose };

class Console {
public:
    Console(std::ostream& out, std::ostream& err, Verbosity verbosity = Verbosity::normal)
        : out(out), err(err), verbosity_(verbosity) {}

    std::ostream& out;  // results
    std::ostream& err;  // errors, progress, diagnostics

    bool quiet() const { return verbosity_ == Verbosity::quiet; }
    bool verbose() const { return verbosity_ == Verbosity::verbose; }
    // What was done ("wrote FILE", "[1/2] erosion"): `out`, or nothing under --quiet.
    std::ostream& notes() { return quiet() ? discard_ : out; }
    void wrote(const std::string& path) { notes() << "wrote " << path << "\n"; }

private:
    Verbosity verbosity_;
    std::ostream discard_{nullptr};  // a stream without a buffer drops what it is given
};

}  // namespace korvane::cli
