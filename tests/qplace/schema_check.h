// A JSON Schema validator for the keywords the run report's schema uses:
// type (a name or a list), enum, minimum, maximum, required, properties,
// additionalProperties (false or a schema), items, and $ref to the
// document's own "#/$defs/<name>". Annotations (title, description, $id,
// $schema) are passed over; any other keyword is reported as unsupported,
// so that the schema cannot grow past what this checks unnoticed.
#ifndef BASAPLACE_TESTS_QPLACE_SCHEMA_CHECK_H
#define BASAPLACE_TESTS_QPLACE_SCHEMA_CHECK_H

#include <cmath>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace schema_check {

using json = nlohmann::ordered_json;

inline bool hasType(const json& v, const std::string& type) {
  if (type == "null") return v.is_null();
  if (type == "boolean") return v.is_boolean();
  if (type == "string") return v.is_string();
  if (type == "object") return v.is_object();
  if (type == "array") return v.is_array();
  if (type == "number") return v.is_number();
  if (type == "integer")
    return v.is_number_integer() || (v.is_number_float() && std::floor(v.get<double>()) == v.get<double>());
  return false;
}

// Appends "<path>: <fault>" to `faults` for each way `v` breaks `schema`.
inline void check(const json& root, const json& schema, const json& v, const std::string& path,
                  std::vector<std::string>& faults) {
  auto fault = [&](const std::string& what) { faults.push_back((path.empty() ? "/" : path) + ": " + what); };
  for (auto it = schema.begin(); it != schema.end(); ++it) {
    const std::string& key = it.key();
    const json& s = it.value();
    if (key == "title" || key == "description" || key == "$id" || key == "$schema" || key == "$defs") continue;
    if (key == "$ref") {
      const std::string prefix = "#/$defs/";
      const std::string ref = s.get<std::string>();
      if (ref.compare(0, prefix.size(), prefix) != 0 || !root["$defs"].contains(ref.substr(prefix.size())))
        fault("unresolved $ref " + ref);
      else
        check(root, root["$defs"][ref.substr(prefix.size())], v, path, faults);
    } else if (key == "type") {
      bool ok = false;
      if (s.is_string()) ok = hasType(v, s.get<std::string>());
      else
        for (const json& t : s) ok = ok || hasType(v, t.get<std::string>());
      if (!ok) fault("is " + std::string(v.type_name()) + ", not of type " + s.dump());
    } else if (key == "enum") {
      bool ok = false;
      for (const json& e : s) ok = ok || e == v;
      if (!ok) fault(v.dump() + " is none of " + s.dump());
    } else if (key == "minimum") {
      if (v.is_number() && v.get<double>() < s.get<double>()) fault(v.dump() + " is below " + s.dump());
    } else if (key == "maximum") {
      if (v.is_number() && v.get<double>() > s.get<double>()) fault(v.dump() + " is above " + s.dump());
    } else if (key == "required") {
      if (v.is_object())
        for (const json& r : s)
          if (!v.contains(r.get<std::string>())) fault("lacks " + r.get<std::string>());
    } else if (key == "properties") {
      if (v.is_object())
        for (auto p = s.begin(); p != s.end(); ++p)
          if (v.contains(p.key())) check(root, p.value(), v[p.key()], path + "/" + p.key(), faults);
    } else if (key == "additionalProperties") {
      if (!v.is_object()) continue;
      const json* props = schema.contains("properties") ? &schema["properties"] : nullptr;
      for (auto m = v.begin(); m != v.end(); ++m) {
        if (props != nullptr && props->contains(m.key())) continue;
        if (s.is_boolean()) {
          if (!s.get<bool>()) fault("has no key " + m.key() + " in the schema");
        } else {
          check(root, s, m.value(), path + "/" + m.key(), faults);
        }
      }
    } else if (key == "items") {
      if (v.is_array())
        for (std::size_t i = 0; i < v.size(); ++i) check(root, s, v[i], path + "/" + std::to_string(i), faults);
    } else {
      fault("the schema keyword " + key + " is not supported here");
    }
  }
}

inline std::vector<std::string> validate(const json& schema, const json& doc) {
  std::vector<std::string> faults;
  check(schema, schema, doc, "", faults);
  return faults;
}

}  // namespace schema_check

#endif
