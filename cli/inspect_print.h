// What `quorvel inspect` prints for each kind of file: a text report for
// people and a JSON object for scripts. Each takes the parsed file and the
// path it came from.
#pragma once

#include "cli/flash_info_file.h"
#include "cli/json_fields.h"
#include "e2p/params_read.h"
#include "report/readers.h"

#include <optional>
#include <string>
#include <vector>

namespace qvcli {

void printFlashRecord(const FlashRecord &r, const std::string &path, size_t recordSize);
Json flashRecordJson(const FlashRecord &r, const std::string &path, size_t recordSize);

void printCodeImage(const CodeImageContents &img, const std::string &path);
Json codeImageJson(const CodeImageContents &img, const std::string &path);

// `changed` is set when a base image was given; `params` when description
// files were given too.
void printJournal(const E2pJournal &j, const std::string &path, const std::optional<std::vector<E2pChangedBlock>> &changed,
                  const qv::E2pImageParams *params = nullptr);
Json journalJson(const E2pJournal &j, const std::string &path, const std::optional<std::vector<E2pChangedBlock>> &changed);

// The parameters by name, and the changed blocks no object covers.
void printParams(const qv::E2pImageParams &r);
Json paramsJson(const qv::E2pImageParams &r);
Json paramJson(const qv::E2pParam &p, const qv::E2pParamNow &now);
Json paramValueJson(const qv::E2pParamValue &v);
Json blocksJson(const std::vector<E2pChangedBlock> &blocks);

// `map` is set when the layout came from a flash description.
void printRaiImage(const RaiStoreContents &img, const std::string &path, const std::optional<PartitionMap> &map);
Json raiImageJson(const RaiStoreContents &img, const std::string &path, const std::optional<PartitionMap> &map);

// "problems: none", or one line per problem.
void printProblems(const std::vector<std::string> &problems);

} // namespace qvcli
