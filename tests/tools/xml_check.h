// A small checker of well-formed XML (elements, attributes, character and entity references,
// comments, processing instructions), which also collects the elements it meets so that tests
// can look at them. It knows no DTDs and no CDATA sections, which the viewer never writes.
#ifndef KELMATH_TESTS_TOOLS_XML_CHECK_H
#define KELMATH_TESTS_TOOLS_XML_CHECK_H

#include <cctype>
#include <map>
#include <string>
#include <vector>

namespace xml_check {

struct Element {
  std::string name;
  std::map<std::string, std::string> attributes;  // entity references resolved
  std::string text;                               // character data directly inside
  int parent = -1;                                // index in the list, -1 for the root
};

struct Document {
  std::vector<Element> elements;  // in document order
  std::string problem;            // empty when the text is well formed
};

namespace detail {

inline bool NameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':';
}
inline bool NameChar(char c) {
  return NameStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '.';
}

class Parser {
 public:
  explicit Parser(const std::string& text) : s(text) {}

  Document Run() {
    Document document;
    try {
      if (s.compare(0, 5, "<?xml") == 0) SkipPast("?>");
      Misc();
      if (at >= s.size() || s[at] != '<') Fail("no root element");
      ElementAt(-1, document);
      Misc();
      if (at != s.size()) Fail("content after the root element");
    } catch (const std::string& problem) {
      document.problem = problem + " at offset " + std::to_string(at);
    }
    return document;
  }

 private:
  [[noreturn]] void Fail(const std::string& problem) { throw problem; }

  void SkipPast(const std::string& end) {
    const size_t found = s.find(end, at);
    if (found == std::string::npos) Fail("unterminated " + end);
    at = found + end.size();
  }

  void Space() {
    while (at < s.size() && std::isspace(static_cast<unsigned char>(s[at]))) ++at;
  }

  // White space, comments and processing instructions outside the root.
  void Misc() {
    for (;;) {
      Space();
      if (s.compare(at, 4, "<!--") == 0) {
        SkipPast("-->");
      } else if (s.compare(at, 2, "<?") == 0) {
        SkipPast("?>");
      } else {
        return;
      }
    }
  }

  std::string Name() {
    if (at >= s.size() || !NameStart(s[at])) Fail("bad name");
    const size_t start = at;
    while (at < s.size() && NameChar(s[at])) ++at;
    return s.substr(start, at - start);
  }

  // One reference after '&', resolved.
  std::string Reference() {
    const size_t end = s.find(';', at);
    if (end == std::string::npos || end - at > 10) Fail("bad reference");
    const std::string name = s.substr(at + 1, end - at - 1);
    at = end + 1;
    if (name == "amp") return "&";
    if (name == "lt") return "<";
    if (name == "gt") return ">";
    if (name == "quot") return "\"";
    if (name == "apos") return "'";
    if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      const std::string digits = name.substr(hex ? 2 : 1);
      if (digits.empty()) Fail("bad character reference");
      for (const char c : digits) {
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(c))
                  : std::isdigit(static_cast<unsigned char>(c)))) {
          Fail("bad character reference");
        }
      }
      return "?";
    }
    Fail("unknown entity &" + name + ";");
  }

  void CheckChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 && c != '\t' && c != '\n' && c != '\r') Fail("control character");
  }

  void ElementAt(int parent, Document& document) {
    ++at;  // '<'
    Element element;
    element.name = Name();
    element.parent = parent;
    for (;;) {
      const size_t before = at;
      Space();
      if (at >= s.size()) Fail("unterminated tag");
      if (s[at] == '/' || s[at] == '>') break;
      if (at == before) Fail("attributes must be separated by white space");
      const std::string attribute = Name();
      Space();
      if (at >= s.size() || s[at] != '=') Fail("attribute without '='");
      ++at;
      Space();
      if (at >= s.size() || (s[at] != '"' && s[at] != '\'')) Fail("unquoted attribute");
      const char quote = s[at++];
      std::string value;
      while (at < s.size() && s[at] != quote) {
        if (s[at] == '<') Fail("'<' in an attribute value");
        if (s[at] == '&') {
          value += Reference();
        } else {
          CheckChar(s[at]);
          value += s[at++];
        }
      }
      if (at >= s.size()) Fail("unterminated attribute value");
      ++at;
      if (!element.attributes.emplace(attribute, value).second) {
        Fail("repeated attribute " + attribute);
      }
    }
    const int index = static_cast<int>(document.elements.size());
    document.elements.push_back(element);
    if (s[at] == '/') {
      if (s.compare(at, 2, "/>") != 0) Fail("bad empty-element tag");
      at += 2;
      return;
    }
    ++at;  // '>'
    for (;;) {
      if (at >= s.size()) Fail("element " + element.name + " is not closed");
      if (s.compare(at, 2, "</") == 0) {
        at += 2;
        if (Name() != element.name) Fail("mismatched end tag for " + element.name);
        Space();
        if (at >= s.size() || s[at] != '>') Fail("bad end tag");
        ++at;
        return;
      }
      if (s.compare(at, 4, "<!--") == 0) {
        SkipPast("-->");
      } else if (s.compare(at, 2, "<?") == 0) {
        SkipPast("?>");
      } else if (s[at] == '<') {
        ElementAt(index, document);
      } else if (s[at] == '&') {
        document.elements[static_cast<size_t>(index)].text += Reference();
      } else {
        CheckChar(s[at]);
        document.elements[static_cast<size_t>(index)].text += s[at++];
      }
    }
  }

  const std::string& s;
  size_t at = 0;
};

}  // namespace detail

inline Document Parse(const std::string& text) {
  return detail::Parser(text).Run();
}

}  // namespace xml_check

#endif
