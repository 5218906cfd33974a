#include "cli/FarmProgress.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>

#include "cli/CommandArguments.h"

namespace korvane::cli {

namespace {

// How many array tasks a record stands for: "12_[4-7,9%2]" is five (the %2 limits how many run
// at once), any other id one.
long taskCount(const std::string& id) {
    const size_t open = id.find("_[");
    if (open == std::string::npos) return 1;
    std::string list = id.substr(open + 2, id.find_first_of("%]", open) - open - 2);
    long count = 0;
    std::istringstream ranges(list);
    std::string range;
    while (std::getline(ranges, range, ',')) {
        const size_t dash = range.find('-');
        std::optional<long long> first = parseInteger(range.substr(0, dash));
        std::optional<long long> last =
            dash == std::string::npos ? first : parseInteger(range.substr(dash + 1));
        count += first && last && *last >= *first ? long(*last - *first + 1) : 1;
    }
    return std::max(count, 1L);
}

// "CANCELLED by 0" → "cancelled".
std::string stateWord(const std::string& state) {
    std::string word = state.substr(0, state.find(' '));
    for (char& c : word) c = char(std::tolower(static_cast<unsigned char>(c)));
    return word.empty() ? "unknown" : word;
}

// Finished work first, then what is under way, then the rest in alphabetical order.
int stateRank(const std::string& word) {
    if (word == "completed") return 0;
    if (word == "running") return 1;
    if (word == "pending") return 2;
    return 3;
}

}  // namespace

std::vector<SlurmJobRecord> parseSlurmJobRecords(const std::string& text) {
    std::vector<SlurmJobRecord> records;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t bar = line.find('|');
        if (bar == std::string::npos) continue;
        std::string state = line.substr(bar + 1);
        if (!state.empty() && state.back() == '|') state.pop_back();  // sacct -P may end lines with '|'
        records.push_back({line.substr(0, bar), state});
    }
    return records;
}

std::string describeFarmProgress(const std::string& tileJobId, const std::vector<SlurmJobRecord>& tiles,
                                 const std::vector<SlurmJobRecord>& merge) {
    std::ostringstream text;
    text << "tiles (job " << tileJobId << "): ";
    if (tiles.empty()) {
        text << "not known to Slurm any more\n";
    } else {
        std::map<std::pair<int, std::string>, long> counts;
        long total = 0;
        for (const SlurmJobRecord& record : tiles) {
            const std::string word = stateWord(record.state);
            const long count = taskCount(record.id);
            counts[{stateRank(word), word}] += count;
            total += count;
        }
        bool first = true;
        for (const auto& [key, count] : counts) {
            text << (first ? "" : ", ") << count << " " << key.second;
            first = false;
        }
        text << " of " << total << "\n";
    }
    if (merge.empty()) text << "merge: not known to Slurm any more\n";
    for (const SlurmJobRecord& record : merge)
        text << "merge (job " << record.id << "): " << stateWord(record.state) << "\n";
    return text.str();
}

}  // namespace korvane::cli
