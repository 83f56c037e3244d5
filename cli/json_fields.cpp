#include "cli/json_fields.h"

#include "cli/errors.h"

#include <cerrno>
#include <cstdlib>

namespace qvcli {
namespace {

// `label` is what the message names: field "x" for JSON, the option for flags.
[[noreturn]] void badLabel(const std::string &label, const std::string &what) {
    throw UsageError(label + ": " + what);
}

[[noreturn]] void bad(const std::string &field, const std::string &what) {
    badLabel("field \"" + field + "\"", what);
}

uint64_t parseNumberText(const std::string &text, const std::string &label) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    const char *allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos)
        badLabel(label, "\"" + text + "\" is not a number (decimal or 0x hexadecimal)");
    errno = 0;
    unsigned long long v = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (errno == ERANGE) badLabel(label, text + " is too large");
    return v;
}

std::string hexText(uint64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

} // namespace

Json parseJson(const std::string &text, const std::string &what) {
    try {
        return Json::parse(text);
    } catch (const Json::exception &e) { // a syntax error, or a number out of range
        throw UsageError(what + ": not valid JSON: " + e.what());
    }
}

std::string dumpJson(const Json &j, int indent) {
    return j.dump(indent, ' ', false, Json::error_handler_t::replace);
}

std::string fieldName(const std::string &parent, const std::string &key) {
    return parent.empty() ? key : parent + "." + key;
}

std::string indexName(const std::string &parent, size_t index) {
    return parent + "[" + std::to_string(index) + "]";
}

void requireObject(const Json &j, const std::string &field) {
    if (!j.is_object()) {
        if (field.empty()) throw UsageError("the top level must be a JSON object");
        bad(field, "must be a JSON object");
    }
}

void checkKnownKeys(const Json &obj, const std::string &field, std::initializer_list<const char *> known) {
    requireObject(obj, field);
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        bool ok = false;
        for (const char *k : known) ok = ok || it.key() == k;
        if (!ok) bad(fieldName(field, it.key()), "unknown field");
    }
}

uint64_t unsignedValue(const Json &v, const std::string &field, uint64_t max) {
    uint64_t n = 0;
    if (v.is_number_unsigned()) {
        n = v.get<uint64_t>();
    } else if (v.is_number_integer()) {
        bad(field, std::to_string(v.get<int64_t>()) + " is negative");
    } else if (v.is_number_float()) {
        bad(field, v.dump() + " is not a whole number");
    } else if (v.is_string()) {
        n = parseNumberText(v.get<std::string>(), "field \"" + field + "\"");
    } else {
        bad(field, "must be a number, found " + std::string(v.type_name()));
    }
    if (n > max) bad(field, hexText(n) + " is out of range (at most " + hexText(max) + ")");
    return n;
}

uint64_t optionNumber(const std::string &text, const std::string &option, uint64_t max) {
    const uint64_t n = parseNumberText(text, option);
    if (n > max) badLabel(option, hexText(n) + " is out of range (at most " + hexText(max) + ")");
    return n;
}

uint64_t unsignedField(const Json &obj, const char *key, const std::string &parent, uint64_t max, bool required,
                       uint64_t fallback) {
    auto it = obj.find(key);
    if (it == obj.end()) {
        if (required) bad(fieldName(parent, key), "is required");
        return fallback;
    }
    return unsignedValue(*it, fieldName(parent, key), max);
}

bool boolField(const Json &obj, const char *key, const std::string &parent, bool fallback) {
    auto it = obj.find(key);
    if (it == obj.end()) return fallback;
    if (!it->is_boolean()) bad(fieldName(parent, key), "must be true or false");
    return it->get<bool>();
}

std::string stringField(const Json &obj, const char *key, const std::string &parent) {
    auto it = obj.find(key);
    if (it == obj.end()) return {};
    if (!it->is_string() || it->get<std::string>().empty()) bad(fieldName(parent, key), "must be a non-empty string");
    return it->get<std::string>();
}

Json arrayField(const Json &obj, const char *key, const std::string &parent) {
    auto it = obj.find(key);
    if (it == obj.end()) return Json::array();
    if (!it->is_array()) bad(fieldName(parent, key), "must be a list");
    return *it;
}

std::vector<std::string> stringListField(const Json &obj, const char *key, const std::string &parent) {
    std::vector<std::string> out;
    const Json list = arrayField(obj, key, parent);
    for (size_t i = 0; i < list.size(); ++i) {
        if (!list[i].is_string() || list[i].get<std::string>().empty())
            bad(indexName(fieldName(parent, key), i), "must be a non-empty path");
        out.push_back(list[i].get<std::string>());
    }
    return out;
}

} // namespace qvcli
