// What `quorvel inspect` prints for each kind of file: a text report for
// people and a JSON object for scripts. Each takes the parsed file and the
// path it came from.
#pragma once

#include "cli/code_image.h"
#include "cli/e2p_journal.h"
#include "cli/flash_desc.h"
#include "cli/json_fields.h"
#include "cli/partition.h"
#include "cli/rai_image.h"

#include <optional>
#include <string>
#include <vector>

namespace qvcli {

void printFlashDesc(const FlashDesc &d, const std::string &path, size_t recordSize);
Json flashDescReportJson(const FlashDesc &d, const std::string &path, size_t recordSize);
// Faults of a record that the JSON description cannot hold.
std::vector<std::string> flashDescProblems(const FlashDesc &d);

void printCodeImage(const CodeImage &img, const std::string &path);
Json codeImageJson(const CodeImage &img, const std::string &path);

// `changed` is set when a base image was given.
void printJournal(const Journal &j, const std::string &path, const std::optional<std::vector<ChangedBlock>> &changed);
Json journalJson(const Journal &j, const std::string &path, const std::optional<std::vector<ChangedBlock>> &changed);

// `map` is set when the layout came from a flash description.
void printRaiImage(const RaiImage &img, const std::string &path, const std::optional<PartitionMap> &map);
Json raiImageJson(const RaiImage &img, const std::string &path, const std::optional<PartitionMap> &map);

// "problems: none", or one line per problem.
void printProblems(const std::vector<std::string> &problems);

} // namespace qvcli
