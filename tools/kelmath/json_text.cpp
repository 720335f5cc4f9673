#include "json_text.h"

#include <cmath>
#include <cstdio>

#include "name_text.h"

namespace kelmath_cli {

namespace {

using json = JsonValue;

// Members or elements one per line, indented by two blanks per level, as dump(2) lays them out.
template <typename Each>
void AppendContainer(const json& value, int depth, char open, char close, Each each,
                     std::string* out) {
  if (value.empty()) {
    *out += open;
    *out += close;
    return;
  }
  *out += open;
  bool first = true;
  for (auto item = value.begin(); item != value.end(); ++item) {
    *out += first ? "\n" : ",\n";
    first = false;
    out->append(static_cast<size_t>(2 * (depth + 1)), ' ');
    each(item);
  }
  *out += '\n';
  out->append(static_cast<size_t>(2 * depth), ' ');
  *out += close;
}

}  // namespace

std::string NumberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

void AppendJsonValue(const json& value, int depth, std::string* out) {
  if (value.is_object()) {
    AppendContainer(
        value, depth, '{', '}',
        [&](json::const_iterator item) {
          *out += json(item.key()).dump() + ": ";
          AppendJsonValue(item.value(), depth + 1, out);
        },
        out);
  } else if (value.is_array()) {
    AppendContainer(
        value, depth, '[', ']',
        [&](json::const_iterator item) { AppendJsonValue(*item, depth + 1, out); }, out);
  } else if (value.is_number_float()) {
    *out += NumberText(value.get<double>());
  } else {
    // Strings (escaped by the library; any byte that is not UTF-8 replaced), integers, null.
    *out += value.dump(-1, ' ', false, json::error_handler_t::replace);
  }
}

// NaN has no JSON form: it becomes null, as the writer would do anyway, but explicitly.
json JsonNumber(double value) {
  return std::isfinite(value) ? json(value) : json(nullptr);
}

json CoefficientsJson(const RegressionResult& r) {
  json list = json::array();
  for (const CoefficientRow& c : r.coefficients) {
    list.push_back({{"name", ValidUtf8(c.name)},
                    {"estimate", JsonNumber(c.estimate)},
                    {"std_error", JsonNumber(c.stdError)},
                    {"t_value", JsonNumber(c.tValue)},
                    {"p_value", JsonNumber(c.pValue)},
                    {"ci95", json::array({JsonNumber(c.ciLow), JsonNumber(c.ciHigh)})},
                    {"vif", JsonNumber(c.vif)},
                    {"aliased", c.aliased}});
  }
  return list;
}

}  // namespace kelmath_cli
