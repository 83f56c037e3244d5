// Reading values out of JSON objects with messages that name the field. Every
// reader takes the object, the key and the field's full name (such as
// "flashInfo.regions[1].count") for its message, and throws UsageError when
// the value is missing, of the wrong type or out of range.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace qvcli {

using Json = nlohmann::ordered_json;

// Parses JSON text; `what` names the source (a path) in the message.
Json parseJson(const std::string &text, const std::string &what);

// JSON text; bytes that are not UTF-8 (in paths) are replaced, not refused.
std::string dumpJson(const Json &j, int indent = -1);

// "parent.key", or "key" when parent is empty.
std::string fieldName(const std::string &parent, const std::string &key);
std::string indexName(const std::string &parent, size_t index);

// Refuses an object that is not one, or that holds a key not in `known`.
void requireObject(const Json &j, const std::string &field);
void checkKnownKeys(const Json &obj, const std::string &field, std::initializer_list<const char *> known);

// An unsigned integer from a JSON number or a string in decimal or with a
// "0x" prefix, at most `max`.
uint64_t unsignedValue(const Json &v, const std::string &field, uint64_t max);
// The same for the text of a command-line option; messages name the option.
uint64_t optionNumber(const std::string &text, const std::string &option, uint64_t max);
// The same for obj[key]; `fallback` when the key is absent and not required.
uint64_t unsignedField(const Json &obj, const char *key, const std::string &parent, uint64_t max,
                       bool required = false, uint64_t fallback = 0);
bool boolField(const Json &obj, const char *key, const std::string &parent, bool fallback);
std::string stringField(const Json &obj, const char *key, const std::string &parent);
std::vector<std::string> stringListField(const Json &obj, const char *key, const std::string &parent);
Json arrayField(const Json &obj, const char *key, const std::string &parent);

} // namespace qvcli
